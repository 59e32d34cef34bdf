#include "shell/appdirs.h"
#include "shell/logline.h"
#include "app/mainform.h"
#include "shell/programversion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/logpane.h"
#include "app/mainformtestfixture.h"
#include "app/qtprint.h"
#include "workers/threadlogsink.h"
#include "support/formcontrols.h"

namespace {

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

QStringList PaneLines(TMainForm& form) {
  form.FlushLog();
  QStringList lines;
  for (QTextBlock block = TFormControls(form).reLog->document()->begin(); block.isValid(); block = block.next())
    lines << block.text();
  return lines;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(MainFormTest, ControlsAndTimerExistFromConstruction) {
  TMainForm& form = Make();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Обновление прошивки Вельмарк"));
  EXPECT_EQ(form.size(), QSize(664, 456));
  const char* names[] = {"GroupBox1", "Label1",  "edFWFile", "btnFwOpen",        "btnFwLoad",
                         "Label5",    "lblFirmwDate", "Label2", "lblFileVer", "cbAutoWrite",
                         "cbWritelogToFile", "Panel1", "ScrollBox1", "DevPanel", "Splitter1",
                         "reLog"};
  for (const char* name : names)
    EXPECT_NE(form.findChild<QObject*>(QLatin1String(name)), nullptr) << name;
  EXPECT_EQ(TFormControls(form).btnFwOpen->toolTip(), QStringLiteral("Открыть файл прошивки"));
  EXPECT_EQ(form.FirmwareFileDialog().nameFilters(),
            QStringList({"Encode Raw binary (*.eraw)", "Raw binary (*.raw)", "Any files (*.*)"}));
  EXPECT_EQ(form.font().families().value(0), "Tahoma");
  struct Text {
    QWidget* Control;
    QString Shown;
    int Points;
    bool Bold;
  };
  const Text texts[] = {
      {TFormControls(form).Label1, "Файл:", 12, false},
      {TFormControls(form).btnFwOpen, "...", 8, false},
      {TFormControls(form).btnFwLoad, "Прочитать", 8, false},
      {TFormControls(form).Label5, "Дата создания:", 12, false},
      {TFormControls(form).lblFirmwDate, "Неизвестна", 10, true},
      {TFormControls(form).Label2, "Версия прошивки:", 12, false},
      {TFormControls(form).lblFileVer, "Неизвестна", 10, true},
      {TFormControls(form).cbAutoWrite, "Прошивать автоматически", 10, false},
      {TFormControls(form).cbWritelogToFile, "Записывать лог в файл", 10, false},
      {TFormControls(form).reLog, "", 8, false},
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(t.Control->objectName().toStdString());
    EXPECT_EQ(t.Control->property("text").toString(), t.Shown);
    EXPECT_EQ(t.Control->font().pointSize(), t.Points);
    EXPECT_EQ(t.Control->font().bold(), t.Bold);
  }
  EXPECT_EQ(TFormControls(form).GroupBox1->title(), "Файл прошивки");
  EXPECT_FALSE(TFormControls(form).cbAutoWrite->isChecked());
  EXPECT_FALSE(TFormControls(form).cbWritelogToFile->isChecked());
  EXPECT_EQ(TFormControls(form).DevPanel->minimumHeight(), 90);
  // The first scan waits for the driver libraries, which the first show loads.
  EXPECT_FALSE(form.Controller().ScanTimer().isActive());
  EXPECT_EQ(form.Controller().ScanTimer().interval(), 100);
}

TEST_F(MainFormTest, FirstRunWithoutSettings) {
  TMainForm& form = Show();
  EXPECT_EQ(form.SettingsPath(), ProgramDir() + "VLFWLoader.ini");
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.size(), QSize(664, 456));
  EXPECT_EQ(TFormControls(form).reLog->height(), 165);
  EXPECT_FALSE(TFormControls(form).cbAutoWrite->isChecked());
  EXPECT_FALSE(TFormControls(form).cbWritelogToFile->isChecked());
  EXPECT_FALSE(TFormControls(form).edFWFile->isVisible());
  EXPECT_FALSE(TFormControls(form).btnFwOpen->isVisible());
  EXPECT_FALSE(TFormControls(form).btnFwLoad->isVisible());
  const QRect outer = form.frameGeometry();
  Close();
  const TIniFile ini = ReadIni();
  EXPECT_EQ(ini.ReadString("COMMON", "MainForm"),
            QStringLiteral("0,0,%1,%2,0,165,0").arg(outer.width()).arg(outer.height()));
  EXPECT_EQ(ini.ReadString("COMMON", "LastFile", "absent"), "");
}

TEST_F(MainFormTest, WideningMovesRightAnchoredControlsAndKeepsTheLogHeight) {
  TMainForm& form = Show({"externfirmware"});
  QWidget* const moving[] = {TFormControls(form).btnFwOpen, TFormControls(form).btnFwLoad, TFormControls(form).cbWritelogToFile,
                             TFormControls(form).lblFileVer->parentWidget()};
  std::vector<int> before;
  for (QWidget* w : moving) before.push_back(w->x());
  const int fileBoxWidth = TFormControls(form).edFWFile->width();
  const QPoint fixedLabel = TFormControls(form).Label5->pos();
  form.resize(form.width() + 100, form.height() + 50);
  QCoreApplication::processEvents();
  for (size_t i = 0; i < std::size(moving); ++i)
    EXPECT_EQ(moving[i]->x(), before[i] + 100) << moving[i]->objectName().toStdString();
  EXPECT_EQ(TFormControls(form).edFWFile->width(), fileBoxWidth + 100);
  EXPECT_EQ(TFormControls(form).Label5->pos(), fixedLabel);
  EXPECT_EQ(TFormControls(form).reLog->height(), 165);
  EXPECT_EQ(TFormControls(form).GroupBox1->height(), 110);
}

TEST_F(MainFormTest, MainFormSettingIsApplied) {
  const QRect screen = QGuiApplication::primaryScreen()->virtualGeometry();
  struct Case {
    QString Value;
    QPoint Place;
    QSize Outer;  // empty: the designed size
    bool AutoWrite;
    int LogHeight;
    bool WriteLog;
    QString Said;  // what the log says of the value; empty: nothing
    TLogLevel Level;
  };
  const QString edgeX = QString::number(screen.width() - 100);
  const QString insideX = QString::number(screen.width() - 101);
  const QString unusable = "не распознаны";
  const QString partly = "применены не полностью";
  const Case cases[] = {
      {"10,20,700,500", {10, 20}, {700, 500}, false, 165, false, {}, llInfo},
      {"10,20,700", {0, 0}, {}, false, 165, false, unusable, llError},
      {"-5,20,700,500,1,200,1", {0, 20}, {700, 500}, true, 200, true, {}, llInfo},
      {"10,-1,-1,-1,0,-1,0", {10, 0}, {}, false, 165, false, {}, llInfo},
      {edgeX + ",10,700,500", {0, 10}, {700, 500}, false, 165, false, {}, llInfo},
      {insideX + ",10,700,500", {screen.width() - 101, 10}, {700, 500}, false, 165, false, {}, llInfo},
      {"10,20,700,500,1 ", {10, 20}, {700, 500}, true, 165, false, {}, llInfo},
      {"10,20,700,500,1;", {10, 20}, {700, 500}, true, 165, false, partly, llInfo},
      {"10,20,700,500,1,200,1,9", {10, 20}, {700, 500}, true, 200, true, partly, llInfo},
      {"garbage", {0, 0}, {}, false, 165, false, unusable, llError},
      {"10,20,99999999999,600,1,1,1", {0, 0}, {}, false, 165, false, unusable, llError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Value.toStdString());
    WriteIni("[COMMON]\r\nMainForm=" + c.Value.toUtf8() + "\r\n");
    TMainForm& form = Show();
    const QSize frame = form.frameGeometry().size() - form.size();
    EXPECT_EQ(form.pos(), c.Place);
    EXPECT_EQ(form.frameGeometry().size(), c.Outer.isEmpty() ? QSize(664, 456) + frame : c.Outer);
    EXPECT_EQ(TFormControls(form).cbAutoWrite->isChecked(), c.AutoWrite);
    EXPECT_EQ(TFormControls(form).reLog->height(), c.LogHeight);
    EXPECT_EQ(TFormControls(form).cbWritelogToFile->isChecked(), c.WriteLog);
    form.FlushLog();
    std::vector<QTextBlock> said;
    for (QTextBlock block = TFormControls(form).reLog->document()->begin(); block.isValid();
         block = block.next())
      if (block.text().contains("Настройки окна")) said.push_back(block);
    if (c.Said.isEmpty()) {
      EXPECT_TRUE(said.empty()) << said.front().text().toStdString();
    } else {
      ASSERT_EQ(said.size(), 1u);
      EXPECT_TRUE(said[0].text().contains(c.Said)) << said[0].text().toStdString();
      EXPECT_EQ(said[0].begin().fragment().charFormat().foreground().color(), LogLevelColor(c.Level));
    }
    Close();
  }
}

TEST_F(MainFormTest, SettingsComeBackAsTheyWereWritten) {
  WriteIni("; my notes\r\n[COMMON]\r\nMainForm=30,40,700,500,1,180,0\r\nUser=kept\r\n");
  Show();
  Close();
  const TIniFile ini = ReadIni();
  EXPECT_EQ(ini.ReadString("COMMON", "MainForm"), "30,40,700,500,1,180,0");
  EXPECT_EQ(ini.ReadString("COMMON", "User"), "kept");
  EXPECT_TRUE(ReadFile(IniPath()).startsWith("; my notes\r\n"));
}

// At a Windows log-off the process ends soon after the application's last signal, with
// the window never destroyed: the settings are written then, and only once per run.
TEST_F(MainFormTest, SettingsAreWrittenOnceWhenTheApplicationIsAboutToQuit) {
  WriteIni("[COMMON]\r\nMainForm=30,40,700,500,0,180,0\r\n");
  TMainForm& form = Show();
  TFormControls(form).cbAutoWrite->setChecked(true);
  ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
  EXPECT_EQ(ReadIni().ReadString("COMMON", "MainForm"), "30,40,700,500,1,180,0");

  WriteIni("[COMMON]\r\nMainForm=changed by hand\r\n");
  TFormControls(form).cbAutoWrite->setChecked(false);
  Close();
  EXPECT_EQ(ReadIni().ReadString("COMMON", "MainForm"), "changed by hand");
}

TEST_F(MainFormTest, RecentFilesInFileOrderAndWrittenBackExactly) {
  WriteIni("[FILES]\r\n0=C:\\a.eraw\r\n1=\r\n2=C:\\c.eraw\r\n");
  TMainForm& form = Show({"externfirmware"});
  EXPECT_EQ(Items(*TFormControls(form).edFWFile), QStringList({"C:\\a.eraw", "C:\\c.eraw"}));
  EXPECT_EQ(form.FileBoxText(), "");  // adding items does not fill the box
  Close();
  TIniFile ini = ReadIni();
  EXPECT_EQ(ini.ReadSectionKeys("FILES"), QStringList({"0", "1"}));
  EXPECT_EQ(ini.ReadString("FILES", "0"), "C:\\a.eraw");
  EXPECT_EQ(ini.ReadString("FILES", "1"), "C:\\c.eraw");

  WriteIni("[FILES]\r\n2=second\r\n0=first\r\n0=duplicate\r\n");
  TMainForm& again = Show({"externfirmware"});
  EXPECT_EQ(Items(*TFormControls(again).edFWFile), QStringList({"second", "first", "first"}));
  Close();
  ini = ReadIni();
  EXPECT_EQ(ini.ReadSectionKeys("FILES"), QStringList({"0", "1", "2"}));
  EXPECT_EQ(ini.ReadString("FILES", "0"), "second");
}

TEST_F(MainFormTest, LastFile) {
  // Built-in mode empties the box, so the last file is forgotten.
  WriteIni("[COMMON]\r\nLastFile=C:\\last.eraw\r\n");
  TMainForm& builtIn = Show();
  EXPECT_EQ(builtIn.FileBoxText(), "");
  Close();
  EXPECT_EQ(ReadIni().ReadString("COMMON", "LastFile", "absent"), "");

  // File mode without a named file starts with the last file.
  WriteIni("[COMMON]\r\nLastFile=C:\\last.eraw\r\n");
  TMainForm& fileMode = Show({"/externfirmware"});
  EXPECT_TRUE(TFormControls(fileMode).edFWFile->isVisible());
  EXPECT_TRUE(TFormControls(fileMode).btnFwLoad->isVisible());
  EXPECT_EQ(fileMode.FileBoxText(), "C:\\last.eraw");
  Close();
  EXPECT_EQ(ReadIni().ReadString("COMMON", "LastFile"), "C:\\last.eraw");

  // A file named on the command line wins.
  QFile named(Dir.filePath("New.ERAW"));
  ASSERT_TRUE(named.open(QIODevice::WriteOnly));
  named.close();
  TMainForm& namedMode = Show({Dir.filePath("New.ERAW")});
#ifdef Q_OS_WIN
  EXPECT_EQ(namedMode.FileBoxText(), Dir.filePath("New.ERAW").toLower());  // names ignore case
#else
  EXPECT_EQ(namedMode.FileBoxText(), Dir.filePath("New.ERAW"));
#endif
  Close();
}

TEST_F(MainFormTest, SettingsGoToTheUserDirectoryWhenTheProgramDirectoryTakesNone) {
  QFile blocker(Dir.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  TMainForm& form = Make({}, Dir.filePath("blocker") + "/");
  form.show();
  // The fixture points the user's data directory into its own directory where the system
  // lets it (not on Windows).
  const QString userIni = UserDataDirectory() + "VLFWLoader.ini";
  EXPECT_EQ(form.SettingsPath(), userIni);
  // Said once, before the lines of the start-up image load.
  const QStringList lines = PaneLines(form);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], "Прибор -------\tНастройки сохраняются в файле " + QDir::toNativeSeparators(userIni));
  EXPECT_EQ(lines.filter("Настройки сохраняются").size(), 1);
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines[1], QStringLiteral("Прибор -------\tВерсия программы ") + kProgramVersion);
  Close();
  EXPECT_EQ(ReadIni(userIni).ReadString("COMMON", "MainForm").count(u','), 6);
}

TEST_F(MainFormTest, LogLinesPrefixesAndColours) {
  TMainForm& form = Make();
  form.LogText(llInfo, 0, "общая");
  form.LogText(llError, 1234, "ошибка");
  form.LogMessage(llSuccess, 12345678, "готово %d%%", 100);
  form.LogMessage(static_cast<TLogLevel>(3), "уровень %s", "3");
  form.LogText(llInfo, -1, "без номера");
  EXPECT_EQ(TFormControls(form).reLog->document()->blockCount(), 1);  // painted with the next batch
  EXPECT_EQ(PaneLines(form),
            QStringList({"Прибор -------\tобщая", "Прибор    1234\tошибка",
                         "Прибор 12345678\tготово 100%", "Прибор -------\tуровень 3",
                         "Прибор      -1\tбез номера"}));
  const QColor expected[] = {QColor(0, 0, 0), QColor(255, 0, 0), QColor(0, 128, 0),
                             QColor(0, 0, 0), QColor(0, 0, 0)};
  int i = 0;
  for (QTextBlock block = TFormControls(form).reLog->document()->begin(); block.isValid();
       block = block.next(), ++i) {
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
      EXPECT_EQ(fragment.fragment().charFormat().foreground().color(), expected[i]) << i;
  }
}

TEST_F(MainFormTest, BatchesArePaintedByTheTimer) {
  TMainForm& form = Make();
  form.LogText(llInfo, 0, "a");
  form.LogText(llInfo, 0, "b");
  EXPECT_TRUE(WaitUntil([&] { return TFormControls(form).reLog->PendingLines() == 0; }));
  EXPECT_EQ(TFormControls(form).reLog->document()->blockCount(), 2);
}

TEST_F(MainFormTest, LogFileFollowsTheCheckBox) {
  TMainForm& form = Show();
  const qsizetype startupLines = PaneLines(form).size();
  const QString logDir = ProgramDir() + "Logs";
  form.LogText(llInfo, 0, "not in a file");
  EXPECT_FALSE(QDir(logDir).exists());

  TFormControls(form).cbWritelogToFile->setChecked(true);
  form.LogText(llError, 5500250, "в файле");
  // Written at once, before the pane's next batch.
  EXPECT_EQ(ReadFile(logDir + "/20240131.log"),
            "[31.01.2024 12:00:00.000]\t\xcf\xf0\xe8\xe1\xee\xf0 5500250\t\xe2 \xf4\xe0\xe9\xeb\xe5\r\n");

  TFormControls(form).cbWritelogToFile->setChecked(false);
  form.LogText(llInfo, 0, "not in a file either");
  EXPECT_EQ(ReadFile(logDir + "/20240131.log").count('\n'), 1);
  EXPECT_EQ(PaneLines(form).size(), startupLines + 3);
}

TEST_F(MainFormTest, WorkerEntriesArriveInOrder) {
  TMainForm& form = Make();
  TThreadLogSink sink(form, form);
  constexpr int kLines = 300;
  std::atomic<bool> finished = false;
  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i) sink.LogMessage(llInfo, 7, "line %d", i);
    finished = true;
  });
  const bool ended = WaitUntil([&] { return finished.load(); });
  worker.join();
  ASSERT_TRUE(ended);
  // On the window's own thread the sink logs directly instead of waiting for itself.
  sink.LogText(llSuccess, 0, "main");
  const QStringList lines = PaneLines(form);
  ASSERT_EQ(lines.size(), kLines + 1);
  for (int i = 0; i < kLines; ++i)
    EXPECT_EQ(lines[i], QStringLiteral("Прибор       7\tline %1").arg(i));
  EXPECT_EQ(lines.back(), "Прибор -------\tmain");
}

TEST_F(MainFormTest, DeviceChangeRestartsTheTimerOnlyForCode7) {
  TMainForm& form = Show();
  // The first tick stops the timer; only a device change starts it again.
  ASSERT_TRUE(WaitUntil([&] { return !form.Controller().ScanTimer().isActive(); }));
  for (int code : {0, 1, 0x8000, 0x8004, 0x0018, -7, 8}) {
    form.OnDeviceChange(code);
    EXPECT_FALSE(form.Controller().ScanTimer().isActive()) << code;
  }
  form.OnDeviceChange(7);
  EXPECT_TRUE(form.Controller().ScanTimer().isActive());
  EXPECT_TRUE(WaitUntil([&] { return !form.Controller().ScanTimer().isActive(); }));
}

TEST_F(MainFormTest, RestoreRequestBringsBackAMinimisedWindow) {
  TMainForm& form = Make();
  form.showMinimized();
  ASSERT_TRUE(form.isMinimized());
  form.OnRestoreRequest();
  EXPECT_FALSE(form.isMinimized());
  form.OnRestoreRequest();
  EXPECT_FALSE(form.isMinimized());
  EXPECT_TRUE(form.isVisible());
}

}  // namespace
