#pragma once
#include <QString>

#include <string_view>

#include "firmware/writeresult.h"
#include "protocol/loglevel.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// The panel of one listed device in the main window's DevPanel: serial number, firmware
// and boot-loader versions, a status line, the write button and a progress bar. The
// window keeps the panel while the device is listed; the panel owns its controls (deleting gbDevice deletes
// them all), so destroying the panel removes it from the window and the rest move up.
class TFWLoaderDevGroup {
public:
  // Appends the panel below those already in devPanel, whose layout must be a
  // QVBoxLayout: panels stand in the order of the device list.
  TFWLoaderDevGroup(QWidget* devPanel, const QString& serialText, const QString& loaderVersion,
                    const QString& firmwareVersion);
  ~TFWLoaderDevGroup();
  TFWLoaderDevGroup(const TFWLoaderDevGroup&) = delete;
  TFWLoaderDevGroup& operator=(const TFWLoaderDevGroup&) = delete;

  void SetStatus(std::string_view text, TLogLevel level);
  void SetProgress(int position);  // 0..100
  void SetWriteAllowed(bool allowed);
  // A write has ended: its status line, and the outcome kept for whoever asks.
  void ShowOutcome(const TWriteOutcome& outcome);
  const TWriteOutcome& LastOutcome() const { return Outcome; }

  QGroupBox* gbDevice;
  QLabel* lblSerialTitle;
  QLabel* lblSerial;
  QLabel* lblFwVerTitle;
  QLabel* lblFwVer;
  QLabel* lblBootVerTitle;
  QLabel* lblBootVer;
  QLabel* lblMessage;
  QPushButton* btnWrite;
  QProgressBar* pbProgress;

private:
  TWriteOutcome Outcome;
};

// How tall DevPanel must be so that its scroll area can scroll to every panel.
int DevPanelMinimumHeight(int deviceCount);
