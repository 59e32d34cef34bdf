// A copy installed under Program Files is one for every user of the machine: its settings
// and logs go to each user's own folder from the start. The Program Files variables are
// pointed at the test's folder, so the real rule meets a real installation's layout.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/mainform.h"
#include "shell/appdirs.h"
#include "support/formcontrols.h"

namespace {

// Sets an environment variable for the test's lifetime.
class TScopedVariable {
public:
  TScopedVariable(const char* name, const QString& value)
      : Name(name), Old(qgetenv(name)), HadOld(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value.toLocal8Bit());
  }
  ~TScopedVariable() { HadOld ? qputenv(Name, Old) : qunsetenv(Name); }

private:
  const char* Name;
  QByteArray Old;
  bool HadOld;
};

}  // namespace

TEST(InstalledCopy, UnderProgramFilesItIsForAllUsersAndElsewhereItIsNot) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString programFiles = QDir::toNativeSeparators(dir.filePath("Program Files"));
  const TScopedVariable variable("ProgramFiles", programFiles);
  const struct {
    QString programDir;
    bool forAllUsers;
  } cases[] = {
      {programFiles + "\\VLFWLoader\\", true},
      {programFiles.toUpper() + "\\VLFWLoader", true},  // the file system ignores case
      {QDir::fromNativeSeparators(programFiles) + "/VLFWLoader/", true},
      {programFiles + " Extra\\VLFWLoader\\", false},  // a folder whose name only starts alike
      {QDir::toNativeSeparators(dir.filePath("Tools/VLFWLoader/")), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InstalledForAllUsers(c.programDir), c.forAllUsers) << c.programDir.toStdString();
    EXPECT_EQ(LogFolderFor(c.programDir) == UserDataDirectory(), c.forAllUsers)
        << c.programDir.toStdString();
  }
}

TEST(InstalledCopy, TheWindowKeepsItsSettingsAndLogsInTheUsersFolder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const TScopedVariable variable("ProgramFiles", QDir::toNativeSeparators(dir.filePath("Program Files")));
  // The user's folder of the toolkit's test mode, apart from the prefix's real one.
  QStandardPaths::setTestModeEnabled(true);
  QDir(UserDataDirectory()).removeRecursively();
  const QString programDir = dir.filePath("Program Files/VLFWLoader/");
  ASSERT_TRUE(QDir().mkpath(programDir));
  {
    TMainFormSetup setup;
    setup.ProgramDir = programDir;
    setup.ShowMessage = [](const QString&) {};
    setup.LoadDrivers = [] { return TLoadedDrivers{true, true}; };
    TMainForm form(setup);
    form.show();
    TFormControls(form).cbWritelogToFile->setChecked(true);
    form.LogText(llInfo, 0, "a line for the file");
    EXPECT_EQ(form.SettingsPath(), UserDataDirectory() + "VLFWLoader.ini");
  }
  EXPECT_TRUE(QFile::exists(UserDataDirectory() + "VLFWLoader.ini"));
  EXPECT_TRUE(QDir(UserDataDirectory() + "Logs").exists());
  // Nothing lands beside the program, which its users may not be allowed to change.
  EXPECT_EQ(QDir(programDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  QDir(UserDataDirectory()).removeRecursively();
  QStandardPaths::setTestModeEnabled(false);
}
