#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/logfile.h"
#include "devices/deventry.h"
#include "firmware/firmwareblock.h"
#include "firmware/writethread.h"
#include "protocol/firmwareversion.h"
#include "protocol/logsink.h"

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
class TFWLoaderDevGroup;
class TReadVersion;

// What the start-up code hands the window. Tests set the directory and the clock.
struct TMainFormSetup {
  QStringList Arguments;             // the command line without the program's own name
  QString ProgramDir;                // empty: the executable's directory, taken at first show
  TLogFile::TClock Clock;            // empty: the local time
  QString SimBusPath;                // the simulated bus's file; empty: none
  // Shows a start-up message to the user; empty: a modal message box.
  std::function<void(const QString&)> ShowMessage;
};

// The program's one window: the firmware-file controls, the device panels and the log.
// It owns the device list and the event log. Worker threads reach it through DevList
// under DevListLock and through a TThreadLogSink for their log entries.
class TMainForm : public QWidget, public TLogSink, public TWriteThreadHost {
  Q_OBJECT
public:
  static constexpr int kDevNodesChanged = 7;  // DBT_DEVNODES_CHANGED

  explicit TMainForm(TMainFormSetup setup = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // --- The event log (UI thread only; workers use a TThreadLogSink) ---
  using TLogSink::LogMessage;
  void LogMessage(TLogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;
  void AddLogLine(TLogLevel level, const std::string& line);
  void WriteLogFile(const std::string& line);
  // Paints the log lines still waiting for the next batch.
  void FlushLog();

  // --- Messages ---
  // The system's device-change notification: event code 7 restarts DevTimer.
  void OnDeviceChange(int eventCode);
  // A second copy's restore request: a minimised window comes back.
  void OnRestoreRequest();
  // A second copy's focus request.
  void OnFocusRequest();

  // The settings file in use, known after the first show.
  QString SettingsPath() const { return SettingsFile; }

  // --- Controls, as the other parts of the program use them ---
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
  QTimer* DevTimer = nullptr;

  // --- Fields ---
  // The connected devices in the order they were added. Guarded by DevListLock, which
  // is recursive because automatic writing starts a write inside the merge that holds it.
  std::vector<std::unique_ptr<TDevEntry>> DevList;
  std::recursive_mutex DevListLock;
  bool ExternalFirmware = false;  // fixed for the run by the command line
  QString ProgramDir;             // ends in '/'; set at the first show

  // The firmware-file dialog, made on first use: built, it starts a file-system thread
  // that a run without a click on "..." does not need.
  QFileDialog& OpenDialog1();
  static const QString kOpenDialogFilter;

  // The image the window's own loads ("Прочитать") loaded last, and whether the last
  // load of the built-in image succeeded.
  TFirmwareVersion FwVersion;
  bool BuiltInLoaded = false;

  // --- Firmware image ---
  void btnFwOpenClick();
  void btnFwLoadClick();
  // Loads the selected image into blocks and version, logs the load and shows it in the
  // labels; the window's own loads and every write's reload go through it.
  bool LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) override;

  // --- Devices: scan and write ---
  // The panel's status line of a listed device.
  void ShowDeviceStatus(TDevEntry& device, const std::string& text, TLogLevel level);
  void ShowProgress(TDevEntry& device, int position) override;
  void btnWriteClick(QObject* sender);
  void StartWrite(TDevEntry& device);
  bool ScanRunning() const { return ScanThread != nullptr; }
  int WritesRunning() const { return RunningWrites; }
  static TFWLoaderDevGroup* PanelOf(const TDevEntry& device);

  // The file box's text (the edit field, not the list).
  QString FileBoxText() const;
  void SetFileBoxText(const QString& text);

protected:
  void showEvent(QShowEvent* event) override;

private:
  void BuildControls();
  void FormShow();
  void FormDestroy();
  void ReadSettings();
  void WriteSettings();
  // The settings are written once per run: when the application is about to quit (at a
  // Windows log-off the process ends soon after, with the window never destroyed), or
  // else when the window is destroyed.
  void WriteSettingsOnce();
  // How much of a MainForm value was applied: none (too few numbers), part of it (numbers
  // missing, or a place off the screen), or all of it.
  enum class TSettingUse { None, Partly, Whole };
  TSettingUse ApplyMainFormSetting(const QString& text);
  void ChooseSettingsFile();
  void SetLogHeight(int height);
  void DevTimerTimer();

  // Steps of the start-up and shutdown sequences.
  // Start-up step 3: the image load, as if "Прочитать" were clicked.
  void LoadFirmwareAtStartup();
  // Start-up step 5: the driver libraries, with a message box for each missing one; the
  // window closes when both are missing.
  void LoadDriverLibraries();
  // DevTimer's tick: starts a device scan, or one more once the running one is merged.
  void StartScan();
  void ScanFinished();
  void CreateDevPanel(TDevEntry& device);
  void OnWriteEnd(TWriteThread* thread);
  void RemoveDevice(TDevEntry* device);
  void UpdateDevPanelHeight();
  // Shutdown: asks running scan and write threads to stop and waits for them, so that
  // none uses a record, its channel or its panel after the record is destroyed.
  void StopWorkers();
  // Shutdown step 3, per entry before it is destroyed.
  void CloseDeviceChannel(TDevEntry& entry);
  void DestroyDeviceEntries();

  void ShowStartupMessage(const QString& text);

  TMainFormSetup Setup;
  TReadVersion* ScanThread = nullptr;
  bool ScanPending = false;  // a scan was asked for while one ran
  bool Closing = false;      // shutdown has begun: no new scans or writes
  int RunningWrites = 0;
  TLogFile LogFile;
  std::unique_ptr<TDeviceWatch> DeviceWatch;
  QString SettingsFile;
  bool Shown = false;
  bool SettingsWritten = false;
  QFileDialog* OpenDialog = nullptr;
  int LogHeight = 165;  // designed; the settings may change it
  QSize FrameAtShow;    // outer size minus client size when the settings were read
};
