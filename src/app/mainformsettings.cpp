// The settings file of the main window: its place and size, the two check boxes, the
// last file and the recent-file list.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>

#include "app/appdirs.h"
#include "app/inifile.h"
#include "app/logpane.h"
#include "app/mainform.h"
#include "app/mainformsetting.h"

namespace {

const QString kSettingsName = QStringLiteral("VLFWLoader.ini");
const QString kCommon = QStringLiteral("COMMON");
const QString kFiles = QStringLiteral("FILES");
const QString kMainForm = QStringLiteral("MainForm");
const QString kLastFile = QStringLiteral("LastFile");
constexpr int kScreenEdgeReserve = 100;

enum TField { fLeft, fTop, fWidth, fHeight, fAutoWrite, fLogHeight, fWriteLog };

// A settings file can be written where its directory takes new files (the file is
// replaced as a whole) and an existing file is not write-protected.
bool SettingsWritable(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() && !info.isWritable()) return false;
  return DirectoryAcceptsFiles(info.absolutePath());
}

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

// The settings live beside the program. When the program's directory does not take
// them (a protected installation directory, read-only media) they go to the user's data
// directory; a file left beside the program still serves as the starting point there.
// A copy installed for all users keeps them in the user's data directory from the start.
void TMainForm::ChooseSettingsFile() {
  const QString beside = ProgramDir + kSettingsName;
  const bool installed = InstalledForAllUsers(ProgramDir);
  if (!installed && SettingsWritable(beside)) {
    SettingsFile = beside;
    return;
  }
  const QString userDir = UserDataDirectory();
  QDir().mkpath(userDir);
  SettingsFile = userDir + kSettingsName;
  if (!QFileInfo::exists(SettingsFile) && QFileInfo::exists(beside))
    QFile::copy(beside, SettingsFile);
  if (!installed)
    LogMessage(llInfo, "Настройки сохраняются в файле %s",
               QDir::toNativeSeparators(SettingsFile).toStdString().c_str());
}

void TMainForm::ReadSettings() {
  // Where the window system adds the frame only once the window is on screen, the frame
  // is unknown here; the same value is used again when the size is written, so the
  // window does not grow by a frame with every run.
  FrameAtShow = frameGeometry().size() - size();
  ChooseSettingsFile();
  TIniFile ini;
  const bool loaded = ini.Load(SettingsFile);

  const QString mainForm = ini.ReadString(kCommon, kMainForm);

  // Adding to an empty list would make the first item the box's text.
  const QString text = FileBoxText();
  for (const QString& key : ini.ReadSectionKeys(kFiles)) {
    const QString value = ini.ReadString(kFiles, key);
    if (!value.isEmpty()) edFWFile->addItem(value);
  }
  SetFileBoxText(text);
  if (text.isEmpty()) SetFileBoxText(ini.ReadString(kCommon, kLastFile));

  const std::string file = QDir::toNativeSeparators(SettingsFile).toStdString();
  const std::string shown = ShownSettingValue(mainForm);
  const TSettingUse use = ApplyMainFormSetting(mainForm);
  // A file changed by hand or damaged: the window says what it could not use.
  if (mainForm.isEmpty()) {
    if (loaded && QFileInfo(SettingsFile).size() > 0)
      LogMessage(llError, "В файле настроек %s нет настроек окна; окно открыто как задумано",
                 file.c_str());
  } else if (use == TSettingUse::None) {
    LogMessage(llError, "Настройки окна в файле %s не распознаны: \"%s\"; окно открыто как задумано",
               file.c_str(), shown.c_str());
  } else if (use == TSettingUse::Partly) {
    // The numbers before it were used: worth a word, not an error.
    LogMessage(llInfo, "Настройки окна в файле %s применены не полностью: \"%s\"", file.c_str(),
               shown.c_str());
  }
}

TMainForm::TSettingUse TMainForm::ApplyMainFormSetting(const QString& text) {
  const TMainFormSetting setting = ParseMainFormSetting(text);
  if (!setting.Usable()) return TSettingUse::None;
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
  return setting.Trailing ? TSettingUse::Partly : TSettingUse::Whole;
}

void TMainForm::WriteSettings() {
  TIniFile ini;
  ini.Load(SettingsFile);

  // A minimised or maximised window keeps the place and size it comes back to.
  QRect outer(pos(), size() + FrameAtShow);
  const QRect normal = normalGeometry();
  if ((isMinimized() || isMaximized()) && normal.isValid()) {
    const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
    outer = QRect(normal.topLeft() - frameOffset, normal.size() + FrameAtShow);
  }
  ini.WriteString(kCommon, kMainForm,
                  FormatMainFormSetting({outer.x(), outer.y(), outer.width(), outer.height(),
                                         cbAutoWrite->isChecked() ? 1 : 0, reLog->height(),
                                         cbWritelogToFile->isChecked() ? 1 : 0}));
  ini.WriteString(kCommon, kLastFile, FileBoxText());

  // The section holds exactly the list: keys left from a longer list would come back as
  // recent files at the next start.
  // Duplicate keys go too, since only the first of them would be read.
  for (const QString& key : ini.ReadSectionKeys(kFiles)) ini.DeleteKey(kFiles, key);
  for (int i = 0; i < edFWFile->count(); ++i)
    ini.WriteString(kFiles, QString::number(i), edFWFile->itemText(i));

  if (!ini.Save(SettingsFile)) {
    // Nowhere left to report it: the window is going. The user's data directory is the
    // one place that should take the file.
    const QString userDir = UserDataDirectory();
    if (SettingsFile != userDir + kSettingsName && QDir().mkpath(userDir))
      ini.Save(userDir + kSettingsName);
  }
}
