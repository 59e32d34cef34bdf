#include "app/mainform.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageBox>
#include <cstdio>
#include <QPushButton>
#include <QShowEvent>

#include <cstdarg>

#include "app/commandline.h"
#include "app/logpane.h"
#include "app/messagebox.h"
#include "app/settingsstore.h"
#include "protocol/textformat.h"
#include "shell/appdirs.h"
#include "shell/devicewatch.h"
#include "shell/programversion.h"

Q_LOGGING_CATEGORY(lcMainForm, "vl.mainform", QtWarningMsg)

namespace {
constexpr int kFileListMinWidth = 500;
}

TMainForm::TMainForm(TMainFormSetup setup, QWidget* parent)
    : QWidget(parent), Setup(std::move(setup)) {
  BuildControls();
  EventLog = std::make_unique<TEventLog>(*reLog, *cbWritelogToFile, Setup.Clock);
  Images = std::make_unique<TImageSelection>(*edFWFile, *lblFileVer, *lblFirmwDate, *this, *this);

  const TCommandLine commandLine = ParseCommandLine(Setup.Arguments);
  Images->SetExternalFirmware(commandLine.ExternalFirmware);
  if (!commandLine.FileText.isEmpty()) SetFileBoxText(commandLine.FileText);

  Devices = std::make_unique<TDeviceController>(*this, *Images);
  ConnectController();
  DeviceWatch = std::make_unique<TDeviceWatch>(Setup.SimBusPath);
  connect(DeviceWatch.get(), &TDeviceWatch::DeviceChange, this, &TMainForm::OnDeviceChange);
  connect(DeviceWatch.get(), &TDeviceWatch::EndRequested, this, &QWidget::close);
  // The system ends the program as soon as this returns: the writes stop here, each with
  // its closing frame, and the settings are written.
  connect(DeviceWatch.get(), &TDeviceWatch::SessionEnding, this, &TMainForm::FormDestroy);
  connect(btnFwOpen, &QPushButton::clicked, Images.get(), &TImageSelection::ChooseFile);
  connect(btnFwLoad, &QPushButton::clicked, Images.get(), &TImageSelection::LoadAndRemember);
  connect(qApp, &QCoreApplication::aboutToQuit, this, &TMainForm::WriteSettingsOnce);
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Shown) return;
  Shown = true;
  FormShow();
}

void TMainForm::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The last step of the start-up the user waits for; the start-up benchmark times it.
  if (!Painted) qCInfo(lcMainForm) << "first paint";
  Painted = true;
}

void TMainForm::LogMessage(TLogLevel level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  LogText(level, 0, text);
}

void TMainForm::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  EventLog->LogText(level, serial, text);
}

// ---------------------------------------------------------------- start-up and shutdown

void TMainForm::FormShow() {
  ProgramDir = Setup.ProgramDir.isEmpty() ? ExecutableDirectory() : Setup.ProgramDir;
  if (!ProgramDir.endsWith(u'/')) ProgramDir += u'/';
  EventLog->SetFolders(LogFolderFor(ProgramDir), UserDataDirectory());

  ReadSettings();
  // After the settings, so that the daily log file has it too when it is on.
  LogMessage(llInfo, "Версия программы %s", kProgramVersion);
  SetLogHeight(LogHeight);
  // The image, as if "Прочитать" were clicked.
  Images->LoadAndRemember();
  edFWFile->view()->setMinimumWidth(qMax(kFileListMinWidth, edFWFile->width()));
  LoadDriverLibraries();
  // Only now: a scan before the libraries are loaded would find none of their devices.
  Devices->Start();
  const bool external = Images->IsExternalFirmware();
  if (!external) SetFileBoxText(QString());
  edFWFile->setVisible(external);
  btnFwOpen->setVisible(external);
  btnFwLoad->setVisible(external);
}

void TMainForm::FormDestroy() {
  WriteSettingsOnce();
  Devices->Shutdown();
  Panels.clear();
}

void TMainForm::WriteSettingsOnce() {
  // Settings are read at the first show; a window never shown has none to write.
  if (!Shown || SettingsWritten) return;
  SettingsWritten = true;
  WriteSettings();
}

// A missing library is reported and the program runs on with the other kind of adapter;
// with both missing there is nothing to do, and the window closes.
void TMainForm::LoadDriverLibraries() {
  const TLoadedDrivers loaded = Setup.LoadDrivers ? Setup.LoadDrivers() : ::LoadDriverLibraries();
  if (!loaded.Ftdi) ShowStartupMessage(QStringLiteral("Драйвер устройств FTDI не установлен."));
  if (!loaded.Qn) ShowStartupMessage(QStringLiteral("Драйвер устройств QN не установлен."));
  if (!loaded.Ftdi && !loaded.Qn) {
    ShowStartupMessage(QStringLiteral(
        "Перед первым запуском программы подключите устройство к USB и установите драйвер."));
    // Closed once the start-up sequence has finished and the event loop runs.
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void TMainForm::ShowStartupMessage(const QString& text) {
  if (Setup.ShowMessage) {
    Setup.ShowMessage(text);
    return;
  }
  if (!MessageBoxesVisible()) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return;
  }
  QMessageBox::critical(this, QStringLiteral("Velmarkon Firmware Loader"), text);
}

// ---------------------------------------------------------------- messages

void TMainForm::OnDeviceChange(int eventCode) { Devices->OnDeviceChange(eventCode); }

void TMainForm::OnRestoreRequest() {
  const bool minimised = isMinimized();
  qCInfo(lcMainForm) << "restore request; minimised:" << minimised;
  if (minimised) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

void TMainForm::OnFocusRequest() {
  qCInfo(lcMainForm) << "focus request; minimised:" << isMinimized();
  raise();
  activateWindow();
}
