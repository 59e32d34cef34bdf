#pragma once
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <thread>

#include "shell/inifile.h"
#include "app/mainform.h"
#include "support/waituntil.h"


// A window whose program directory is a fresh temporary directory, with a clock the test
// sets. The user's data directory points into the temporary directory too, so nothing
// lands in the home directory.
class MainFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    OldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", Dir.filePath("userdata").toLocal8Bit());
  }
  void TearDown() override {
    Form.reset();
    qputenv("XDG_DATA_HOME", OldDataHome);
  }

  QString ProgramDir() const { return Dir.path() + u'/'; }
  QString IniPath() const { return ProgramDir() + "VLFWLoader.ini"; }

  void WriteIni(const QByteArray& content) {
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }
  TIniFile ReadIni(const QString& path = {}) const {
    TIniFile ini;
    ini.Load(path.isEmpty() ? IniPath() : path);
    return ini;
  }

  TMainForm& Make(QStringList arguments = {}, QString programDir = {}) {
    TMainFormSetup setup;
    setup.Arguments = std::move(arguments);
    setup.ProgramDir = programDir.isEmpty() ? ProgramDir() : programDir;
    setup.Clock = [this] { return Now; };
    Form = std::make_unique<TMainForm>(std::move(setup));
    return *Form;
  }
  TMainForm& Show(QStringList arguments = {}) {
    TMainForm& form = Make(std::move(arguments));
    form.show();
    return form;
  }
  // Ends the run: the window writes its settings as it is destroyed.
  void Close() { Form.reset(); }

  QTemporaryDir Dir;
  QByteArray OldDataHome;
  QDateTime Now{QDate(2024, 1, 31), QTime(12, 0, 0, 0)};
  std::unique_ptr<TMainForm> Form;
};
