#pragma once
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/eventlog.h"
#include "app/fwloaderdevgroup.h"
#include "app/imageselection.h"
#include "link/driverlibs.h"
#include "shell/logfile.h"
#include "workers/devicecontroller.h"

class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSplitter;
class TDeviceWatch;
class TLogPane;
class TSettingsStore;

// What the start-up code hands the window. Tests set the directory and the clock.
struct TMainFormSetup {
  QStringList Arguments;             // the command line without the program's own name
  QString ProgramDir;                // empty: the executable's directory, taken at first show
  TLogFile::TClock Clock;            // empty: the local time
  QString SimBusPath;                // the simulated bus's file; empty: none
  // Shows a start-up message to the user; empty: a modal message box.
  std::function<void(const QString&)> ShowMessage;
  // Loads the driver libraries and says which loaded; empty: the real loaders.
  std::function<TLoadedDrivers()> LoadDrivers;
};

// The program's one window: the firmware-file controls, the device panels and the log.
// It is the view of the device controller, which owns the devices, their scans and their
// writes: the window shows what the controller says and forwards the user's clicks. Its
// parts do the rest: the event log, the image selection and the settings store.
class TMainForm : public QWidget, public TLogSink {
  Q_OBJECT
public:
  explicit TMainForm(TMainFormSetup setup = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The event log (UI thread only; workers use a TThreadLogSink).
  using TLogSink::LogMessage;
  void LogMessage(TLogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;
  // Paints the log lines still waiting for the next batch.
  void FlushLog() { EventLog->Flush(); }

  // --- Messages ---
  // The system's device-change notification, for the controller.
  void OnDeviceChange(int eventCode);
  // A second copy's restore request: a minimised window comes back.
  void OnRestoreRequest();
  // A second copy's focus request.
  void OnFocusRequest();

  TDeviceController& Controller() { return *Devices; }
  const TDeviceController& Controller() const { return *Devices; }
  // The panel of a listed device; null for any other id.
  TFWLoaderDevGroup* PanelOf(TDeviceController::TDeviceId id) const;

  // The settings file in use, known after the first show.
  QString SettingsPath() const;
  // The file box's text (the edit field, not the list).
  QString FileBoxText() const { return Images->FileText(); }
  void SetFileBoxText(const QString& text) { Images->SetFileText(text); }
  QFileDialog& FirmwareFileDialog() { return Images->FileDialog(); }

protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void BuildControls();
  void ConnectController();
  void FormShow();
  void FormDestroy();

  // --- Settings ---
  void ReadSettings();
  void WriteSettings();
  // The settings are written once per run: when the application is about to quit (at a
  // Windows log-off the process ends soon after, with the window never destroyed), or
  // else when the window is destroyed.
  void WriteSettingsOnce();
  // How much of the stored placement was applied: none (too few numbers), part of it
  // (the numbers, but not what followed them), or all of it.
  enum class TPlacementUse { None, Partly, Whole };
  TPlacementUse ApplyPlacement(const QString& text);
  QString CurrentPlacement() const;
  void SetLogHeight(int height);

  // Start-up step 5: the driver libraries, with a message for each missing one; the
  // window closes when both are missing.
  void LoadDriverLibraries();
  void ShowStartupMessage(const QString& text);

  // --- Device panels, as the controller reports the devices ---
  void AddDevPanel(TDeviceController::TDeviceId id, const TDeviceIdentity& identity);
  void UpdateDevPanelHeight(int deviceCount);

  // --- Controls ---
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* edFWFile = nullptr;
  QPushButton* btnFwOpen = nullptr;
  QPushButton* btnFwLoad = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* lblFirmwDate = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblFileVer = nullptr;
  QCheckBox* cbAutoWrite = nullptr;
  QCheckBox* cbWritelogToFile = nullptr;
  QWidget* Panel1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  QWidget* DevPanel = nullptr;
  QSplitter* Splitter1 = nullptr;
  TLogPane* reLog = nullptr;

  // --- Parts ---
  TMainFormSetup Setup;
  std::unique_ptr<TEventLog> EventLog;
  std::unique_ptr<TImageSelection> Images;
  std::unique_ptr<TSettingsStore> Settings;  // chosen at the first show
  std::unique_ptr<TDeviceController> Devices;
  std::map<TDeviceController::TDeviceId, std::unique_ptr<TFWLoaderDevGroup>> Panels;
  std::unique_ptr<TDeviceWatch> DeviceWatch;

  // --- State ---
  QString ProgramDir;  // ends in '/'; set at the first show
  bool Shown = false;
  bool Painted = false;
  bool SettingsWritten = false;
  int LogHeight = 165;  // designed; the settings may change it
  QSize FrameAtShow;    // outer size minus client size when the settings were read
};
