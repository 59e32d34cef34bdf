// Bad input from outside: settings files, a log directory that cannot be made, firmware
// files that are not images, and device texts with bytes no log line should carry. The
// window keeps running, says what went wrong where it has something to say, and loses
// nothing.
#include <QDir>
#include <QFile>

#include "shell/appdirs.h"
#include "firmware/containerwriter.h"
#include "protocol/frame.h"
#include "reliabilityfixture.h"
#include "support/testplatform.h"
#include "support/formcontrols.h"

namespace {

class BadInput : public TReliabilityTest {
protected:
  void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(Dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QString Status(int serial) { return Panel(serial)->lblMessage->text(); }
};

const QRegularExpression kAboutWindowSettings(QStringLiteral("(Настройки|настроек) окна"));

TEST_F(BadInput, SettingsFilesThatMakeNoSenseAreReportedAndLeaveTheDesignedWindow) {
  const QString missing = "нет настроек окна";
  const QString unrecognised = "не распознаны";
  const QString partly = "применены не полностью";
  const struct {
    const char* name;
    QByteArray bytes;
    QString said;  // what the log says of the window's settings
  } cases[] = {
      {"garbage", "this is not\nan ini file at all ]]]] [[[[ ====", missing},
      {"binary", QByteArray("\x00\xff\xfe[COMMON\x00]\r\nMainForm=\x01\x02\x03", 24), missing},
      {"huge numbers", "[COMMON]\nMainForm=99999999999,99999999999,99999999999,99999999999,1,1,1\n", unrecognised},
      // Seven numbers: the place off the screen is ignored without a word.
      {"out of range", "[COMMON]\nMainForm=-2147483648,2147483647,2147483647,2147483647,-1,2147483647,-1\n", {}},
      {"junk after the numbers", "[COMMON]\nMainForm=10,20,700,500\x1b[31m\n", partly},
      {"too few", "[COMMON]\nMainForm=10,20\n", unrecognised},
      {"control bytes", "[COMMON]\nMainForm=1,2,\x1b[31m\r3\n", unrecognised},
      {"long line", "[COMMON]\nLastFile=" + QByteArray(1 << 20, 'x') + "\n[FILES]\n0=" + QByteArray(70000, '\xcf') + "\n", missing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile("VLFWLoader.ini", c.bytes);
    Start();
    WaitForScan(0);
    // The window is usable and on the screen, whatever the file said.
    EXPECT_GE(Form->width(), 100);
    EXPECT_GE(Form->height(), 100);
    EXPECT_LT(Form->x(), 100000);
    EXPECT_LT(Form->y(), 100000);
    // Said once, in one line that names the file and shows no control character.
    Form->FlushLog();
    const QStringList said = TFormControls(*Form).reLog->toPlainText().split(u'\n').filter(kAboutWindowSettings);
    if (c.said.isEmpty()) {
      EXPECT_TRUE(said.isEmpty()) << said.join('\n').toStdString();
    } else {
      ASSERT_EQ(said.size(), 1) << TFormControls(*Form).reLog->toPlainText().toStdString();
      EXPECT_TRUE(said[0].contains(c.said)) << said[0].toStdString();
      EXPECT_TRUE(said[0].contains(QDir::toNativeSeparators(Dir.filePath("VLFWLoader.ini"))))
          << said[0].toStdString();
      for (const QChar ch : said[0])
        EXPECT_TRUE(ch == u'\t' || ch.category() != QChar::Other_Control) << said[0].toStdString();
    }
    CloseAndCheckNothingLeft();
    // What the window wrote back is a setting it can read next time.
    QFile file(Dir.filePath("VLFWLoader.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(QRegularExpression(R"(MainForm=-?\d+,-?\d+,\d+,\d+,[01],\d+,[01])").match(text).hasMatch())
        << text.left(300).toStdString();
  }
  // A file the window wrote itself is read without a word.
  Start();
  WaitForScan(0);
  Form->FlushLog();
  EXPECT_FALSE(TFormControls(*Form).reLog->toPlainText().contains(kAboutWindowSettings))
      << TFormControls(*Form).reLog->toPlainText().toStdString();
}

// A plain file where "Logs" should be: the lines go to the user's data directory, and
// when that cannot take them either, the pane says once that the file gets no lines.
TEST_F(BadInput, LogDirectoryThatCannotBeMadeIsReportedAndKeepsThePaneGoing) {
  for (const bool fallbackBlocked : {false, true}) {
    SCOPED_TRACE(fallbackBlocked ? "fallback blocked" : "fallback usable");
    // The user's data directory is the fixture's own where the system lets it be moved
    // (not on Windows).
    const QString userDir = UserDataDirectory().chopped(1);
    QDir(userDir).removeRecursively();
    QFile::remove(userDir);
    if (fallbackBlocked) {
      ASSERT_TRUE(QDir().mkpath(QFileInfo(userDir).absolutePath()));
      QFile blocker(userDir);
      ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
      blocker.write("a file where the data directory should be");
    }
    WriteFile("Logs", "a file where the directory should be");
    WriteFile("VLFWLoader.ini", "[COMMON]\nMainForm=0,0,800,600,0,165,1\n");
    Bus.Clear();
    Bus.Add(Device("d", saQn, "5"));
    Start();
    WaitForScan(1);
    EXPECT_TRUE(TFormControls(*Form).cbWritelogToFile->isChecked());
    EXPECT_TRUE(Logged(DevPrefix(5) + "Прибор подключен"));
    const QStringList pane = TFormControls(*Form).reLog->toPlainText().split(u'\n');
    const QString fallback = userDir + "/Logs/";
    if (fallbackBlocked) {
      EXPECT_EQ(pane.filter("Не удаётся записать лог").size(), 1) << pane.join('\n').toStdString();
      EXPECT_TRUE(pane.contains(kNoDevPrefix + "Не удаётся записать лог в " +
                                QDir::toNativeSeparators(Dir.path() + "/Logs/")));
    } else {
      EXPECT_TRUE(pane.contains(kNoDevPrefix + "Лог записывается в каталог " +
                                QDir::toNativeSeparators(fallback)))
          << pane.join('\n').toStdString();
      EXPECT_TRUE(pane.filter("Не удаётся записать лог").isEmpty());
    }
    EXPECT_TRUE(QFileInfo(Dir.filePath("Logs")).isFile());
    CloseAndCheckNothingLeft();
    if (!fallbackBlocked) {
      // Every line of the pane, the closing ones included, is in the fallback's file.
      QDir logs(fallback);
      ASSERT_EQ(logs.entryList(QDir::Files).size(), 1);
      QFile file(logs.filePath(logs.entryList(QDir::Files).first()));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      EXPECT_TRUE(file.readAll().contains("\t\xcf\xf0\xe8\xe1\xee\xf0       5\t\xcf\xf0\xe8\xe1\xee\xf0 \xef\xee\xe4\xea\xeb\xfe\xf7\xe5\xed"));
    }
    QFile::remove(Dir.filePath("Logs"));
    QFile::remove(userDir);  // the blocker, where the directory must be again
  }
}

TEST_F(BadInput, FirmwareFilesThatAreNoImageFailTheWriteWithCode1) {
  const TBytes huge(TFirmwareBlock::kMaxSize + 512, 0x5A);
  const struct {
    const char* name;
    std::function<QString()> make;
    const char* line;  // the load's own message, after the dashes
  } cases[] = {
      {"empty", [this] { WriteFile("empty.eraw", {}); return Dir.filePath("empty.eraw"); },
       "Не верный размер файла прошивки"},
      {"directory", [this] { QDir(Dir.path()).mkdir("dir.eraw"); return Dir.filePath("dir.eraw"); },
       nullptr},
      {"missing", [this] { return Dir.filePath("gone.eraw"); }, nullptr},
      // Neither may hang the window: a pipe would wait for a writer, the device never ends.
      {"named pipe", [this] {
         const std::string pipe = MakeNamedPipe(Dir.path().toStdString());
         EXPECT_FALSE(pipe.empty());
         return QString::fromStdString(pipe);
       }, nullptr},
      {"endless device", [this] {
         const std::string device = MakeEndlessDevicePath(Dir.path().toStdString());
         EXPECT_FALSE(device.empty());
         return QString::fromStdString(device);
       }, nullptr},
      {"truncated", [this] {
         const QString path = PackFile(GenerateCodePayload(8, 1), "cueraw");
         QFile::resize(path, 100);
         return path;
       }, "Не верный размер файла прошивки"},
      {"larger than a block may be", [this, &huge] {
         // The packer refuses a payload above the block limit; the writer lays it out.
         const std::vector<std::uint8_t> container = WriteImageContainer("VLQN-2.3b", std::nullopt, huge);
         const QByteArray bytes(reinterpret_cast<const char*>(container.data()),
                                static_cast<qsizetype>(container.size()));
         WriteFile("huge.eraw", bytes);
         return Dir.filePath("huge.eraw");
       },
       "Слишком большой размер блока прошивки"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bus.Clear();
    Bus.Add(Device("d", saFtdi, "9"));
    const QString path = c.make();
    StartWithFile(path);
    WaitForScan(1);
    Panel(9)->btnWrite->click();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Status(9), "Ошибка 1 при обновлении прошивки");
    EXPECT_TRUE(Logged(kNoDevPrefix + "Ошибка загрузки прошивки") ||
                Logged(kNoDevPrefix + "Слишком большой размер блока прошивки"));
    if (c.line) {
      EXPECT_TRUE(Logged(kNoDevPrefix + c.line)) << Lines().join('\n').toStdString();
    }
    EXPECT_EQ(Bus.FramesReceived("d", frame::cmdEraseV2), 0u) << "nothing sent to the device";
    CloseAndCheckNothingLeft();
  }
}

TEST_F(BadInput, FileDeletedBetweenLoadAndWriteIsReportedNotWritten) {
  const QString path = PackFile(GenerateCodePayload(8, 3));
  Bus.Add(Device("d", saQn, "12"));
  StartWithFile(path);
  TFormControls(*Form).btnFwLoad->click();
  EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "VLQN-2.3b");
  WaitForScan(1);
  ASSERT_TRUE(QFile::remove(path));
  Panel(12)->btnWrite->click();
  ASSERT_TRUE(Settled());
  EXPECT_EQ(Status(12), "Ошибка 1 при обновлении прошивки");
  EXPECT_TRUE(Logged(kNoDevPrefix + "Загрузка прошивки: Файл " + path + " не найден"));
  EXPECT_EQ(Bus.FramesReceived("d", frame::cmdEraseV2), 0u);
}

TEST_F(BadInput, DeviceTextsReachTheLogAsPlainPrintableText) {
  // Control bytes, a format, bytes above 0x7F and, in application mode, no zero.
  TSimDeviceConfig boot = Device("boot", saFtdi, "31");
  boot.FirmwareVersion = std::string("VLQN-2.3%s%n\x01\n\x1b[31m\xcf\xf0", 21);
  TSimDeviceConfig app = Device("app", saQn, "32", false);
  app.FirmwareVersion = std::string("VLQN-2.1%x%s\x7f\r\x07\xe9", 17);
  Bus.Add(boot);
  Bus.Add(app);
  Start();
  WaitForScan(2);
  for (const QString& line : Lines()) {
    for (const QChar ch : line)
      EXPECT_FALSE(ch.unicode() < 0x20 && ch != u'\t') << "control character in: " << line.toStdString();
    EXPECT_FALSE(line.contains(QChar(0x7F))) << line.toStdString();
  }
  // A '%' is text, never a format; a control byte shows as '?', Windows-1251 as Cyrillic.
  EXPECT_TRUE(Logged(DevPrefix(31) + "Версия прошивки VLQN-2.3%s%n???[31mПр")) << Lines().join('\n').toStdString();
  EXPECT_TRUE(Logged(DevPrefix(32) + "Версия прошивки VLQN-2.1%x%s???й")) << Lines().join('\n').toStdString();
  EXPECT_NE(Listed(31), nullptr);
  EXPECT_NE(Listed(32), nullptr);
}

}  // namespace
