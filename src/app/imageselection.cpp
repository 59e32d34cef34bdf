#include "app/imageselection.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>

#include "resources/builtinimage.h"

const QString TImageSelection::kFileDialogFilter =
    QStringLiteral("Encode Raw binary (*.eraw);;Raw binary (*.raw);;Any files (*.*)");

TImageSelection::TImageSelection(QComboBox& fileBox, QLabel& versionLabel, QLabel& dateLabel,
                                 QWidget& dialogParent, TLogSink& log)
    : FileBox(fileBox),
      VersionLabel(versionLabel),
      DateLabel(dateLabel),
      DialogParent(dialogParent),
      Log(log) {}

QString TImageSelection::FileText() const { return FileBox.currentText(); }

void TImageSelection::SetFileText(const QString& text) {
  FileBox.setCurrentIndex(-1);
  FileBox.setEditText(text);
}

QStringList TImageSelection::RecentFiles() const {
  QStringList files;
  for (int i = 0; i < FileBox.count(); ++i) files << FileBox.itemText(i);
  return files;
}

void TImageSelection::SetRecentFiles(const QStringList& files) {
  // Adding to an empty list would make the first item the box's text.
  const QString text = FileText();
  FileBox.clear();
  for (const QString& file : files)
    if (!file.isEmpty()) FileBox.addItem(file);
  SetFileText(text);
}

TFirmwareImage TImageSelection::LoadImage() {
  std::optional<bool> builtInLoaded;
  TFirmwareImage image =
      LoadChosenImage(ExternalFirmware, FileText().toStdString(), Log, &builtInLoaded);
  if (builtInLoaded) BuiltInLoaded = *builtInLoaded;
  if (image.Loaded) {
    VersionLabel.setText(QString::fromStdString(image.Version.VersionText()));
    DateLabel.setText(QString::fromStdString(image.Version.BuildDateText()));
  }
  return image;
}

void TImageSelection::LoadAndRemember() {
  const bool loaded = LoadImage().Loaded;
  if (!loaded || BuiltInLoaded) return;
  const QString path = FileText();
  if (FileBox.findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
    FileBox.insertItem(0, path);
    SetFileText(path);  // inserting into the list must not change the box's text
  }
}

void TImageSelection::ChooseFile() {
  QFileDialog& dialog = FileDialog();
  dialog.selectFile(FileText());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  // The dialog answers with '/' on every system; the box, the log, the recent list and
  // the settings keep the system's own form, the one a path typed or passed in has.
  SetFileText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
  LoadAndRemember();
}

QFileDialog& TImageSelection::FileDialog() {
  if (!Dialog) {
    Dialog = new QFileDialog(&DialogParent);
    Dialog->setObjectName(QStringLiteral("FirmwareFileDialog"));
    Dialog->setFileMode(QFileDialog::ExistingFile);
    Dialog->setNameFilter(kFileDialogFilter);
  }
  return *Dialog;
}
