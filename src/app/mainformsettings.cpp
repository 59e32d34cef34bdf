// The window's own settings: its place and size, the two check boxes and the log's
// height, read at the first show and written once at the end, through the settings store.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include "app/logpane.h"
#include "app/mainform.h"
#include "app/settingsstore.h"
#include "app/windowplacement.h"

namespace {

constexpr int kScreenEdgeReserve = 100;

enum TField { fLeft, fTop, fWidth, fHeight, fAutoWrite, fLogHeight, fWriteLog };

// All screens together.
QRect VirtualScreen() {
  return QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->virtualGeometry()
                                          : QRect(0, 0, 0, 0);
}

// A settings value as the log shows it: short, and without characters that would break
// the line.
std::string ShownSettingValue(const QString& value) {
  constexpr qsizetype kShownLength = 60;
  QString shown = value.left(kShownLength);
  for (QChar& c : shown)
    if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
        c.isSurrogate())
      c = u'?';
  if (value.size() > kShownLength) shown += QStringLiteral("...");
  return shown.toStdString();
}

}  // namespace

QString TMainForm::SettingsPath() const { return Settings ? Settings->Path() : QString(); }

void TMainForm::ReadSettings() {
  // Where the window system adds the frame only once the window is on screen, the frame
  // is unknown here; the same value is used again when the size is written, so the
  // window does not grow by a frame with every run.
  FrameAtShow = frameGeometry().size() - size();
  Settings = std::make_unique<TSettingsStore>(ProgramDir, *this);
  bool loaded = false;
  const TWindowSettings stored = Settings->Read(&loaded);

  Images->SetRecentFiles(stored.RecentFiles);
  if (FileBoxText().isEmpty()) SetFileBoxText(stored.LastFile);

  const std::string file = QDir::toNativeSeparators(Settings->Path()).toStdString();
  const std::string shown = ShownSettingValue(stored.Placement);
  const TPlacementUse use = ApplyPlacement(stored.Placement);
  // A file changed by hand or damaged: the window says what it could not use.
  if (stored.Placement.isEmpty()) {
    if (loaded && QFileInfo(Settings->Path()).size() > 0)
      LogMessage(llError, "В файле настроек %s нет настроек окна; окно открыто как задумано",
                 file.c_str());
  } else if (use == TPlacementUse::None) {
    LogMessage(llError, "Настройки окна в файле %s не распознаны: \"%s\"; окно открыто как задумано",
               file.c_str(), shown.c_str());
  } else if (use == TPlacementUse::Partly) {
    // The numbers before it were used: worth a word, not an error.
    LogMessage(llInfo, "Настройки окна в файле %s применены не полностью: \"%s\"", file.c_str(),
               shown.c_str());
  }
}

TMainForm::TPlacementUse TMainForm::ApplyPlacement(const QString& text) {
  const TWindowPlacement setting = ParseWindowPlacement(text);
  if (!setting.Usable()) return TPlacementUse::None;
  const auto value = [&setting](TField field) { return setting.Values[field]; };

  const QRect screen = VirtualScreen();
  QPoint place = pos();
  const bool leftOnScreen = value(fLeft) < screen.width() - kScreenEdgeReserve;
  const bool topOnScreen = value(fTop) < screen.height() - kScreenEdgeReserve;
  if (value(fLeft) >= 0 && leftOnScreen) place.setX(value(fLeft));
  if (value(fTop) >= 0 && topOnScreen) place.setY(value(fTop));
  move(place);

  // The stored size is the outer one, frame included.
  QSize client = size();
  if (value(fWidth) >= 0) client.setWidth(value(fWidth) - FrameAtShow.width());
  if (value(fHeight) >= 0) client.setHeight(value(fHeight) - FrameAtShow.height());
  resize(client.expandedTo(minimumSize()));

  if (value(fAutoWrite) >= 0) cbAutoWrite->setChecked(value(fAutoWrite) != 0);
  if (value(fLogHeight) >= 0) LogHeight = value(fLogHeight);
  if (value(fWriteLog) >= 0) cbWritelogToFile->setChecked(value(fWriteLog) != 0);
  // Fewer than seven numbers and a place off the screen are ordinary values (an older
  // file, a screen since removed), taken as they are without a word.
  return setting.Trailing ? TPlacementUse::Partly : TPlacementUse::Whole;
}

QString TMainForm::CurrentPlacement() const {
  // A minimised or maximised window keeps the place and size it comes back to.
  QRect outer(pos(), size() + FrameAtShow);
  const QRect normal = normalGeometry();
  if ((isMinimized() || isMaximized()) && normal.isValid()) {
    const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
    outer = QRect(normal.topLeft() - frameOffset, normal.size() + FrameAtShow);
  }
  return FormatWindowPlacement({outer.x(), outer.y(), outer.width(), outer.height(),
                                cbAutoWrite->isChecked() ? 1 : 0, reLog->height(),
                                cbWritelogToFile->isChecked() ? 1 : 0});
}

void TMainForm::WriteSettings() {
  Settings->Write({CurrentPlacement(), FileBoxText(), Images->RecentFiles()});
}
