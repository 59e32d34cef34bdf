#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <map>
#include <string>

#include "app/logfile.h"
#include "workers/devicecontroller.h"
#include "app/fwloaderdevgroup.h"
#include "firmware/firmwareblock.h"
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

// What the start-up code hands the window. Tests set the directory and the clock.
struct TMainFormSetup {
  QStringList Arguments;             // the command line without the program's own name
  QString ProgramDir;                // empty: the executable's directory, taken at first show
  TLogFile::TClock Clock;            // empty: the local time
  QString SimBusPath;                // the simulated bus's file; empty: none
  // Shows a start-up message to the user; empty: a modal message box.
  std::function<void(const QString&)> ShowMessage;
  // Load the driver libraries and say whether they loaded; empty: the real loaders.
  std::function<bool()> LoadFtdi;
  std::function<bool()> LoadQn;
};

// The program's one window: the firmware-file controls, the device panels and the log.
// It is the view of the device controller, which owns the devices, their scans and their
// writes: the window shows what the controller says, forwards the user's clicks, owns the
// event log and keeps the settings.
class TMainForm : public QWidget, public TLogSink, private TImageProvider {
  Q_OBJECT
public:
  static constexpr int kDevNodesChanged = TDeviceController::kDevNodesChanged;

  explicit TMainForm(TMainFormSetup setup = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The event log (UI thread only; workers use a TThreadLogSink).
  using TLogSink::LogMessage;
  void LogMessage(TLogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;
  // Paints the log lines still waiting for the next batch.
  void FlushLog();

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
  QString SettingsPath() const { return SettingsFile; }
  // The file box's text (the edit field, not the list).
  QString FileBoxText() const;
  void SetFileBoxText(const QString& text);
  // The firmware-file dialog, made on first use: built, it starts a file-system thread
  // that a run without a click on "..." does not need.
  QFileDialog& OpenDialog1();
  static const QString kOpenDialogFilter;

protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void BuildControls();
  void ConnectController();
  void FormShow();
  void FormDestroy();
  void ReadSettings();
  void WriteSettings();
  // The settings are written once per run: when the application is about to quit (at a
  // Windows log-off the process ends soon after, with the window never destroyed), or
  // else when the window is destroyed.
  void WriteSettingsOnce();
  // How much of a MainForm value was applied: none (too few numbers), part of it (the
  // numbers, but not what followed them), or all of it.
  enum class TSettingUse { None, Partly, Whole };
  TSettingUse ApplyMainFormSetting(const QString& text);
  void ChooseSettingsFile();
  void SetLogHeight(int height);
  void AddLogLine(TLogLevel level, const std::string& line);
  void WriteLogFile(const std::string& line);

  // --- Firmware image ---
  void btnFwOpenClick();
  void btnFwLoadClick();
  // Loads the selected image into blocks and version, logs the load and shows it in the
  // labels; the window's own loads and every write's reload go through it.
  bool LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) override;

  // Start-up step 3: the image load, as if "Прочитать" were clicked.
  void LoadFirmwareAtStartup();
  // Start-up step 5: the driver libraries, with a message box for each missing one; the
  // window closes when both are missing.
  void LoadDriverLibraries();
  void ShowStartupMessage(const QString& text);

  // --- Device panels, as the controller reports the devices ---
  void AddDevPanel(TDeviceController::TDeviceId id);
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

  // --- Fields ---
  TMainFormSetup Setup;
  bool ExternalFirmware = false;  // fixed for the run by the command line
  QString ProgramDir;             // ends in '/'; set at the first show
  // The image the window's own loads ("Прочитать") loaded last, and whether the last
  // load of the built-in image succeeded.
  TFirmwareVersion FwVersion;
  bool BuiltInLoaded = false;
  TLogFile LogFile;
  std::unique_ptr<TDeviceController> Devices;
  std::map<TDeviceController::TDeviceId, std::unique_ptr<TFWLoaderDevGroup>> Panels;
  std::unique_ptr<TDeviceWatch> DeviceWatch;
  QString SettingsFile;
  bool Shown = false;
  bool Painted = false;
  bool SettingsWritten = false;
  QFileDialog* OpenDialog = nullptr;
  int LogHeight = 165;  // designed; the settings may change it
  QSize FrameAtShow;    // outer size minus client size when the settings were read
};
