#include "shellentries.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

#include "app/commandline.h"
#include "shell/inifile.h"
#include "app/windowplacement.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

const QString kCommon = QStringLiteral("COMMON");
const QString kFiles = QStringLiteral("FILES");
const QString kMainForm = QStringLiteral("MainForm");
const QString kLastFile = QStringLiteral("LastFile");

// What the window takes from a settings file.
struct TSettingsRead {
  QString MainForm, LastFile;
  QStringList Files;  // the non-empty FILES values in file order
  bool operator==(const TSettingsRead&) const = default;
};

TSettingsRead ReadAsTheWindowDoes(const TIniFile& ini) {
  TSettingsRead read;
  read.MainForm = ini.ReadString(kCommon, kMainForm);
  read.LastFile = ini.ReadString(kCommon, kLastFile);
  for (const QString& key : ini.ReadSectionKeys(kFiles)) {
    const QString value = ini.ReadString(kFiles, key);
    if (!value.isEmpty()) read.Files << value;
  }
  return read;
}

void CheckMainForm(const QString& text) {
  const TWindowPlacement setting = ParseWindowPlacement(text);
  Require(setting.Found >= 0 && setting.Found <= TWindowPlacement::kFieldCount, "at most seven numbers");
  for (int i = setting.Found; i < TWindowPlacement::kFieldCount; ++i)
    Require(setting.Values[static_cast<std::size_t>(i)] == -1, "numbers not found count as -1");
  if (setting.Found == TWindowPlacement::kFieldCount) {
    const TWindowPlacement again = ParseWindowPlacement(FormatWindowPlacement(setting.Values));
    Require(again.Found == setting.Found && again.Values == setting.Values,
            "a value the window writes reads back the same");
  }
}

// A value as it reads back once written: a line break inside it would start another key,
// so the file gets a blank in its place.
QString AsWritten(QString value) {
  value.replace(u'\r', u' ');
  value.replace(u'\n', u' ');
  return value.trimmed();
}

// A directory with a few files the arguments may name, made once per process.
void EnterArgumentDirectory() {
  static bool entered = false;
  if (entered) return;
  entered = true;
  const QString dir = QDir::temp().filePath(QStringLiteral("vl_fuzz_cmdline_%1").arg(QCoreApplication::applicationPid()));
  QDir().mkpath(dir);
  QDir::setCurrent(dir);
  for (const char* name : {"fw.eraw", "FW2.ERAW", "x.raw", "noext", "a.b.eraw"}) {
    QFile file(QString::fromLatin1(name));
    if (file.open(QIODevice::WriteOnly)) file.write("x");
  }
  QDir().mkpath(QStringLiteral("dir.eraw"));
}

}  // namespace

void FuzzSettingsFile(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TIniFile ini;
  ini.Parse(bytes);
  const TSettingsRead read = ReadAsTheWindowDoes(ini);
  CheckMainForm(read.MainForm);

  // What the program writes back, then reads on its next run.
  TIniFile written = ini;
  const TWindowPlacement setting = ParseWindowPlacement(read.MainForm);
  const QString mainForm = FormatWindowPlacement(setting.Values);
  written.WriteString(kCommon, kMainForm, mainForm);
  written.WriteString(kCommon, kLastFile, read.LastFile);
  for (qsizetype i = 0; i < read.Files.size(); ++i)
    written.WriteString(kFiles, QString::number(i), read.Files[i]);

  TIniFile next;
  next.Parse(written.Serialize());
  Require(next.ReadString(kCommon, kMainForm) == mainForm, "MainForm survives a run");
  Require(next.ReadString(kCommon, kLastFile) == AsWritten(read.LastFile), "LastFile survives a run");
  for (qsizetype i = 0; i < read.Files.size(); ++i)
    Require(next.ReadString(kFiles, QString::number(i)) == AsWritten(read.Files[i]),
            "every recent file survives a run under its index");

  // A file the program did not touch reads the same after it has been written once.
  TIniFile untouched;
  untouched.Parse(ini.Serialize());
  Require(ReadAsTheWindowDoes(untouched) == read, "writing the file changes nothing it says");
}

void FuzzCommandLine(const std::uint8_t* data, std::size_t size) {
  EnterArgumentDirectory();
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QStringList arguments;
  for (const QByteArray& piece : bytes.split('\n')) arguments << QString::fromUtf8(piece);
  const TCommandLine line = ParseCommandLine(arguments);

  bool named = false;
  for (const QString& argument : arguments) {
    QString text = argument;
    if (text.startsWith(u'/') || text.startsWith(u'-')) text.remove(0, 1);
    named = named || text.compare(u"externfirmware", Qt::CaseInsensitive) == 0;
  }
  Require(!named || line.ExternalFirmware, "\"externfirmware\" selects file mode");
  if (!line.FileText.isEmpty()) {
    Require(line.ExternalFirmware, "a named file selects file mode");
    Require(QFileInfo(line.FileText).isFile(), "only an existing file is taken");
    Require(line.FileText.endsWith(u".eraw", Qt::CaseInsensitive), "only an .eraw file is taken");
  } else {
    Require(line.ExternalFirmware == named, "file mode only when asked for");
  }
}
