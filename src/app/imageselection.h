#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include "protocol/logsink.h"
#include "workers/devicecontroller.h"

class QComboBox;
class QFileDialog;
class QLabel;
class QWidget;

// The window's choice of firmware image: the file box with its recent files, the "..."
// dialog, the "Прочитать" load, and the labels that show the image loaded last. It is
// also where every write takes its image from. Main thread only.
class TImageSelection : public QObject, public TImageProvider {
  Q_OBJECT
public:
  static const QString kFileDialogFilter;

  TImageSelection(QComboBox& fileBox, QLabel& versionLabel, QLabel& dateLabel,
                  QWidget& dialogParent, TLogSink& log);

  // Fixed for the run by the command line: without it, the built-in image is loaded.
  void SetExternalFirmware(bool external) { ExternalFirmware = external; }
  bool IsExternalFirmware() const { return ExternalFirmware; }

  // The file box's text (the edit field, not the list).
  QString FileText() const;
  void SetFileText(const QString& text);
  // The recent files, newest first, as the settings keep them. Setting them keeps the
  // box's text.
  QStringList RecentFiles() const;
  void SetRecentFiles(const QStringList& files);

  // Loads the selected image afresh, logs the load and shows it in the labels.
  TFirmwareImage LoadImage() override;
  // "Прочитать": loads the image, and a file that loaded joins the recent files.
  void LoadAndRemember();
  // "...": the file dialog, then the load of the file chosen.
  void ChooseFile();

  // The dialog, made on first use: built, it starts a file-system thread that a run
  // without a click on "..." does not need.
  QFileDialog& FileDialog();

private:
  QComboBox& FileBox;
  QLabel& VersionLabel;
  QLabel& DateLabel;
  QWidget& DialogParent;
  TLogSink& Log;
  QFileDialog* Dialog = nullptr;
  bool ExternalFirmware = false;
  bool BuiltInLoaded = false;  // the outcome of the last load of the built-in image
};
