#include "app/mainform.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLoggingCategory>
#include <QPushButton>
#include <QShowEvent>

#include "app/appdirs.h"
#include "app/commandline.h"
#include "app/devicewatch.h"
#include "app/logpane.h"

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
    LogMessage(llInfo, "Лог записывается в каталог %s", directory.toStdString().c_str());
  };

  DeviceWatch = std::make_unique<TDeviceWatch>(Setup.SimBusPath);
  connect(DeviceWatch.get(), &TDeviceWatch::DeviceChange, this, &TMainForm::OnDeviceChange);
  connect(DevTimer, &QTimer::timeout, this, &TMainForm::DevTimerTimer);
  DevTimer->start();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Shown) return;
  Shown = true;
  FormShow();
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
  LogFile.SetProgramDir(ProgramDir);
  LogFile.SetFallbackDir(UserDataDirectory());

  ReadSettings();
  SetLogHeight(LogHeight);
  LoadFirmwareAtStartup();
  edFWFile->view()->setMinimumWidth(qMax(kFileListMinWidth, edFWFile->width()));
  LoadDriverLibraries();
  if (!ExternalFirmware) SetFileBoxText(QString());
  edFWFile->setVisible(ExternalFirmware);
  btnFwOpen->setVisible(ExternalFirmware);
  btnFwLoad->setVisible(ExternalFirmware);
}

void TMainForm::FormDestroy() {
  // Settings are read at the first show; a window never shown has none to write.
  if (Shown) WriteSettings();
  StopWorkers();
  DevTimer->stop();
  QMutexLocker lock(&DevListLock);
  DestroyDeviceEntries();
}

void TMainForm::DestroyDeviceEntries() {
  for (std::unique_ptr<TDevEntry>& entry : DevList) {
    CloseDeviceChannel(*entry);
    entry.reset();  // the record takes its panel with it
  }
  DevList.clear();
}

// The image load is wired in with the firmware layer: it performs btnFwLoadClick.
void TMainForm::LoadFirmwareAtStartup() {}

// Wired in with the link layer: loads both driver libraries, reports each missing one
// in a message box and closes the window when both are missing.
void TMainForm::LoadDriverLibraries() {}

// Wired in with the link layer: DevClose of the entry's channel.
void TMainForm::CloseDeviceChannel(TDevEntry&) {}

// Wired in with the scan and write threads.
void TMainForm::StopWorkers() {}

// ---------------------------------------------------------------- messages and timer

void TMainForm::OnDeviceChange(int eventCode) {
  if (eventCode != kDevNodesChanged) return;
  // A burst of notifications gives one scan, 100 ms after the last of them.
  DevTimer->stop();
  DevTimer->start();
}

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

void TMainForm::DevTimerTimer() {
  DevTimer->stop();
  StartScan();
}

// Wired in with the scan cycle: starts a TReadVersion unless one runs.
void TMainForm::StartScan() {}
