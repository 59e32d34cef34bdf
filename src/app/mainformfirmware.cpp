// The firmware image as the window shows it: the start-up load, the "..." and
// "Прочитать" buttons, and the load every write has made afresh.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include "app/mainform.h"
#include "firmware/imageload.h"
#include "resources/builtinimage.h"

bool TMainForm::LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) {
  TImageSource source;
  source.ExternalFirmware = ExternalFirmware;
  source.FilePath = FileBoxText().toStdString();
  source.ReadBuiltIn = ReadBuiltInImageBytes;
  const TImageLoadResult result = ::LoadImage(source, blocks, version, *this);
  if (result.BuiltInLoaded) BuiltInLoaded = *result.BuiltInLoaded;
  // The user sees every outcome in the log; the block limit's text is no exception.
  if (!result.BlockSizeError.empty()) LogText(llError, 0, result.BlockSizeError);
  if (!result.Success) return false;
  lblFileVer->setText(QString::fromStdString(version.VersionText()));
  lblFirmwDate->setText(QString::fromStdString(version.BuildDateText()));
  return true;
}

void TMainForm::btnFwLoadClick() {
  TFirmwareBlockList blocks;
  const bool loaded = LoadImage(blocks, FwVersion);
  if (loaded && !BuiltInLoaded) {
    const QString path = FileBoxText();
    if (edFWFile->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
      edFWFile->insertItem(0, path);
      SetFileBoxText(path);  // inserting into the list must not change the box's text
    }
  }
  FreeBlocks(blocks);
}

void TMainForm::btnFwOpenClick() {
  QFileDialog& dialog = OpenDialog1();
  dialog.selectFile(FileBoxText());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  // The dialog answers with '/' on every system; the box, the log, the recent list and
  // the settings keep the system's own form, the one a path typed or passed in has.
  SetFileBoxText(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
  btnFwLoadClick();
}

void TMainForm::LoadFirmwareAtStartup() { btnFwLoadClick(); }
