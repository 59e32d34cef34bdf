// The firmware image as the window loads and shows it: the built-in image at start-up,
// packed files through "Прочитать", the recent-file list, and damaged files refused.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTimer>

#include "shell/programversion.h"
#include "e2efixture.h"
#include "packer.h"
#include "support/formcontrols.h"

namespace {

const QString kNone = QStringLiteral("Прибор -------\t");

class FirmwareLoadTest : public E2ETest {
protected:
  QString WriteFile(const QString& name, const QByteArray& bytes) {
    const QString path = Dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QByteArray Packed(const std::string& version, const std::string& date, std::uint32_t parts) {
    // No date: a container without the build-date text.
    const TPackResult packed =
        PackImage(version, date.empty() ? std::nullopt : std::optional<std::string>(date),
                  GenerateCodePayload(parts, 11));
    EXPECT_TRUE(packed.Error.empty()) << packed.Error;
    return QByteArray(reinterpret_cast<const char*>(packed.Bytes.data()),
                      static_cast<qsizetype>(packed.Bytes.size()));
  }
  QStringList AllLines() {
    Form->FlushLog();
    QStringList lines;
    for (QTextBlock block = TFormControls(*Form).reLog->document()->begin(); block.isValid(); block = block.next())
      lines << block.text();
    return lines;
  }
  QStringList Items() {
    QStringList items;
    for (int i = 0; i < TFormControls(*Form).edFWFile->count(); ++i) items << TFormControls(*Form).edFWFile->itemText(i);
    return items;
  }
};

}  // namespace

TEST_F(FirmwareLoadTest, BuiltInImageIsLoadedAndShownAtStartUp) {
  Start();
  EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "VLQN-2.3b");
  EXPECT_EQ(TFormControls(*Form).lblFirmwDate->text(), "29-12-2012 11:05:35");
  EXPECT_EQ(AllLines(), QStringList({kNone + "Версия программы " + kProgramVersion,
                                     kNone + "Загружена прошивка из ресурсов",
                                     kNone + "Версия прошивки \"VLQN-2.3b\"",
                                     kNone + "Дата компиляции \"29-12-2012 11:05:35\""}));
  EXPECT_EQ(TFormControls(*Form).edFWFile->count(), 0);  // the built-in image adds nothing to the list
  EXPECT_FALSE(TFormControls(*Form).btnFwLoad->isVisible());
}

TEST_F(FirmwareLoadTest, PackedFilesLoadAndGrowTheRecentList) {
  const QString first = WriteFile("first.eraw", Packed("ZEPH-3.1", "05.06.2023 07:08:09", 4));
  const QString second = WriteFile("second.raw", Packed("VLQN-1.2rc", "", 2));
  Start({"externfirmware"});
  EXPECT_TRUE(TFormControls(*Form).btnFwLoad->isVisible());
  EXPECT_TRUE(AllLines().contains(kNone + "Ошибка загрузки прошивки"));  // the box was empty

  Form->SetFileBoxText(first);
  TFormControls(*Form).btnFwLoad->click();
  EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "ZEPH-3.1");
  EXPECT_EQ(TFormControls(*Form).lblFirmwDate->text(), "05-06-2023 07:08:09");
  EXPECT_TRUE(Lines().contains(kNone + "Загружена прошивка из файла \"" + first + "\""));
  Form->SetFileBoxText(second);
  TFormControls(*Form).btnFwLoad->click();
  EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "VLQN-1.2rc");
  EXPECT_EQ(TFormControls(*Form).lblFirmwDate->text(), "неизвестна");
  Form->SetFileBoxText(first);
  TFormControls(*Form).btnFwLoad->click();
  EXPECT_EQ(Items(), QStringList({second, first}));  // loaded twice, listed once
  EXPECT_EQ(Form->FileBoxText(), first);
}

TEST_F(FirmwareLoadTest, DamagedFilesAreRefusedAndTheLabelsKeepTheirTexts) {
  QByteArray wrongSize = Packed("VLQN-2.0", "01.01.2020 00:00:00", 2);
  wrongSize[0] = static_cast<char>(wrongSize[0] + 1);
  QByteArray wrongSum = Packed("VLQN-2.0", "01.01.2020 00:00:00", 2);
  wrongSum[200] = static_cast<char>(wrongSum[200] ^ 0x40);
  const struct {
    QString name;
    QByteArray bytes;
    QStringList errors;
  } cases[] = {
      {"size.eraw", wrongSize, {"Не верный размер файла прошивки", "Ошибка загрузки прошивки"}},
      {"sum.eraw", wrongSum, {"Ошибка контрольной суммы файла прошивки", "Ошибка загрузки прошивки"}},
      {"empty.eraw", QByteArray(), {"Не верный размер файла прошивки", "Ошибка загрузки прошивки"}},
  };
  const QString good = WriteFile("good.eraw", Packed("MIRA-3.4", "02.03.2021 04:05:06", 2));
  Start({"externfirmware"});
  Form->SetFileBoxText(good);
  TFormControls(*Form).btnFwLoad->click();
  for (const auto& c : cases) {
    const QString path = WriteFile(c.name, c.bytes);
    const qsizetype before = Lines().size();
    Form->SetFileBoxText(path);
    TFormControls(*Form).btnFwLoad->click();
    QStringList expected;
    for (const QString& error : c.errors) expected << kNone + error;
    EXPECT_EQ(Lines().mid(before), expected) << c.name.toStdString();
    EXPECT_EQ(TFormControls(*Form).lblFileVer->text(), "MIRA-3.4");
    EXPECT_EQ(TFormControls(*Form).lblFirmwDate->text(), "02-03-2021 04:05:06");
    EXPECT_FALSE(Items().contains(path));
  }
  const qsizetype before = Lines().size();
  Form->SetFileBoxText(Dir.filePath("missing.eraw"));
  TFormControls(*Form).btnFwLoad->click();
  EXPECT_EQ(Lines().mid(before),
            QStringList({kNone + "Загрузка прошивки: Файл " + Dir.filePath("missing.eraw") + " не найден",
                         kNone + "Ошибка загрузки прошивки"}));
}

// The file dialog answers with '/'; on Windows the box, the log and the recent list show
// '\\' as for a file named on the command line, so the two are one entry of the list.
TEST_F(FirmwareLoadTest, FileChosenWithTheDialogIsShownWithTheSystemsSeparators) {
  const QString path = WriteFile("chosen.eraw", Packed("ZEPH-3.1", "05.06.2023 07:08:09", 2));
  const QString native = QDir::toNativeSeparators(path);
  Start({"externfirmware"});
  Form->SetFileBoxText(native);
  TFormControls(*Form).btnFwLoad->click();
  QFileDialog& dialog = Form->FirmwareFileDialog();
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  QTimer::singleShot(0, &dialog, [&dialog, path] {
    dialog.selectFile(path);
    QMetaObject::invokeMethod(&dialog, "accept");  // as the dialog's own button does
  });
  const qsizetype before = Lines().size();
  TFormControls(*Form).btnFwOpen->click();
  EXPECT_EQ(Form->FileBoxText(), native);
  EXPECT_TRUE(Lines().mid(before).contains(kNone + "Загружена прошивка из файла \"" + native + "\""));
  EXPECT_EQ(Items(), QStringList({native}));
}
