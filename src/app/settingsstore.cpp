#include "app/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "shell/appdirs.h"
#include "shell/inifile.h"

namespace {

const QString kSettingsName = QStringLiteral("VLFWLoader.ini");
const QString kCommon = QStringLiteral("COMMON");
const QString kFiles = QStringLiteral("FILES");
const QString kMainForm = QStringLiteral("MainForm");
const QString kLastFile = QStringLiteral("LastFile");

// A settings file can be written where its directory takes new files (the file is
// replaced as a whole) and an existing file is not write-protected.
bool SettingsWritable(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() && !info.isWritable()) return false;
  return DirectoryAcceptsFiles(info.absolutePath());
}

}  // namespace

TSettingsStore::TSettingsStore(const QString& programDir, TLogSink& log) {
  const QString beside = programDir + kSettingsName;
  const bool installed = InstalledForAllUsers(programDir);
  if (!installed && SettingsWritable(beside)) {
    File = beside;
    return;
  }
  const QString userDir = UserDataDirectory();
  QDir().mkpath(userDir);
  File = userDir + kSettingsName;
  if (!QFileInfo::exists(File) && QFileInfo::exists(beside)) QFile::copy(beside, File);
  if (!installed)
    log.LogMessage(llInfo, 0, "Настройки сохраняются в файле %s",
                   QDir::toNativeSeparators(File).toStdString().c_str());
}

TWindowSettings TSettingsStore::Read(bool* loaded) const {
  TIniFile ini;
  const bool read = ini.Load(File);
  if (loaded) *loaded = read;
  TWindowSettings settings;
  settings.Placement = ini.ReadString(kCommon, kMainForm);
  settings.LastFile = ini.ReadString(kCommon, kLastFile);
  for (const QString& key : ini.ReadSectionKeys(kFiles)) {
    const QString value = ini.ReadString(kFiles, key);
    if (!value.isEmpty()) settings.RecentFiles << value;
  }
  return settings;
}

void TSettingsStore::Write(const TWindowSettings& settings) const {
  TIniFile ini;
  ini.Load(File);
  ini.WriteString(kCommon, kMainForm, settings.Placement);
  ini.WriteString(kCommon, kLastFile, settings.LastFile);
  // The section holds exactly the list: keys left from a longer list would come back as
  // recent files at the next start, and of duplicate keys only the first would be read.
  for (const QString& key : ini.ReadSectionKeys(kFiles)) ini.DeleteKey(kFiles, key);
  for (int i = 0; i < settings.RecentFiles.size(); ++i)
    ini.WriteString(kFiles, QString::number(i), settings.RecentFiles[i]);
  if (ini.Save(File)) return;
  const QString userDir = UserDataDirectory();
  if (File != userDir + kSettingsName && QDir().mkpath(userDir)) ini.Save(userDir + kSettingsName);
}
