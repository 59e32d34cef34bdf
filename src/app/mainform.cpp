#include "app/mainform.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLoggingCategory>
#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>
#include <QPushButton>
#include <QShowEvent>

#include "app/appdirs.h"
#include "app/commandline.h"
#include "app/devicewatch.h"
#include "app/logpane.h"
#include "app/programversion.h"
#include "link/driverlibs.h"

Q_LOGGING_CATEGORY(lcMainForm, "vl.mainform", QtWarningMsg)

namespace {
constexpr int kFileListMinWidth = 500;
}

TMainForm::TMainForm(TMainFormSetup setup, QWidget* parent)
    : QWidget(parent), Setup(std::move(setup)), LogFile(Setup.Clock) {
  BuildControls();

  const TCommandLine commandLine = ParseCommandLine(Setup.Arguments);
  ExternalFirmware = commandLine.ExternalFirmware;
  if (!commandLine.FileText.isEmpty()) SetFileBoxText(commandLine.FileText);

  LogFile.Relocated = [this](const QString& directory) {
    LogMessage(llInfo, "Лог записывается в каталог %s",
               QDir::toNativeSeparators(directory).toStdString().c_str());
  };
  // Said in the pane once, and again only after the file took lines in between.
  LogFile.Unwritable = [this](const QString& place) {
    LogMessage(llError, "Не удаётся записать лог в %s",
               QDir::toNativeSeparators(place).toStdString().c_str());
  };
  connect(cbWritelogToFile, &QCheckBox::toggled, this, [this](bool checked) {
    if (!checked) LogFile.Close();
  });

  Devices = std::make_unique<TDeviceController>(*this, static_cast<TImageProvider&>(*this));
  ConnectController();
  DeviceWatch = std::make_unique<TDeviceWatch>(Setup.SimBusPath);
  connect(DeviceWatch.get(), &TDeviceWatch::DeviceChange, this, &TMainForm::OnDeviceChange);
  connect(DeviceWatch.get(), &TDeviceWatch::EndRequested, this, &QWidget::close);
  // The system ends the program as soon as this returns: the writes stop here, each with
  // its closing frame, and the settings are written.
  connect(DeviceWatch.get(), &TDeviceWatch::SessionEnding, this, &TMainForm::FormDestroy);
  connect(btnFwOpen, &QPushButton::clicked, this, &TMainForm::btnFwOpenClick);
  connect(btnFwLoad, &QPushButton::clicked, this, &TMainForm::btnFwLoadClick);
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

QString TMainForm::FileBoxText() const { return edFWFile->currentText(); }

void TMainForm::SetFileBoxText(const QString& text) {
  edFWFile->setCurrentIndex(-1);
  edFWFile->setEditText(text);
}

// ---------------------------------------------------------------- start-up and shutdown

void TMainForm::FormShow() {
  ProgramDir = Setup.ProgramDir.isEmpty() ? ExecutableDirectory() : Setup.ProgramDir;
  if (!ProgramDir.endsWith(u'/')) ProgramDir += u'/';
  LogFile.SetProgramDir(InstalledForAllUsers(ProgramDir) ? UserDataDirectory() : ProgramDir);
  LogFile.SetFallbackDir(UserDataDirectory());

  ReadSettings();
  // After the settings, so that the daily log file has it too when it is on.
  LogMessage(llInfo, "Версия программы %s", kProgramVersion);
  SetLogHeight(LogHeight);
  LoadFirmwareAtStartup();
  edFWFile->view()->setMinimumWidth(qMax(kFileListMinWidth, edFWFile->width()));
  LoadDriverLibraries();
  // Only now: a scan before the libraries are loaded would find none of their devices.
  Devices->Start();
  if (!ExternalFirmware) SetFileBoxText(QString());
  edFWFile->setVisible(ExternalFirmware);
  btnFwOpen->setVisible(ExternalFirmware);
  btnFwLoad->setVisible(ExternalFirmware);
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
  const bool ftdi = Setup.LoadFtdi ? Setup.LoadFtdi() : LoadFtdiDriver() != nullptr;
  if (!ftdi) ShowStartupMessage(QStringLiteral("Драйвер устройств FTDI не установлен."));
  const bool qn = Setup.LoadQn ? Setup.LoadQn() : LoadQnDriver() != nullptr;
  if (!qn) ShowStartupMessage(QStringLiteral("Драйвер устройств QN не установлен."));
  if (!ftdi && !qn) {
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
  // Where nobody could see or close a message box, the message goes to the error stream.
  const QString platform = QGuiApplication::platformName();
  if (platform == u"offscreen" || platform == u"minimal") {
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
