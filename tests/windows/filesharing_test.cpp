// Files shared with other programs: the open log file can be renamed and deleted by
// another process, and a firmware file another process holds open fails to load with
// the load's own message.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <gtest/gtest.h>

#include "shell/fileappend.h"
#include "app/logpane.h"
#include "app/mainform.h"
#include "packer.h"
#include "support/formcontrols.h"

namespace {

constexpr int kWaitMs = 120000;

int RunHelper(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(VL_WINTESTHELPER), arguments);
  if (!process.waitForFinished(kWaitMs)) return -1;
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

TEST(FileSharing, OpenLogFileCanBeRenamedAndDeletedByAnotherProcess) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString log = dir.filePath(QStringLiteral("20240131.log"));
  const QString renamed = dir.filePath(QStringLiteral("kept.log"));
  TAppendFile file;
  ASSERT_TRUE(file.Open(log));
  ASSERT_TRUE(file.Append("first\r\n"));

  EXPECT_EQ(RunHelper({QStringLiteral("rename"), Native(log), Native(renamed)}), 0);
  EXPECT_TRUE(file.Append("second\r\n"));  // still the same file, under its new name
  EXPECT_EQ(RunHelper({QStringLiteral("delete"), Native(renamed)}), 0);
  file.Close();
  EXPECT_FALSE(QFile::exists(log));
  EXPECT_FALSE(QFile::exists(renamed));
}

QStringList PaneLines(TMainForm& form) {
  form.FlushLog();
  QStringList lines;
  for (QTextBlock block = TFormControls(form).reLog->document()->begin(); block.isValid(); block = block.next())
    lines << block.text();
  return lines;
}

TEST(FileSharing, FirmwareFileHeldByAnotherProcessFailsToLoad) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const TPackResult packed =
      PackImage("VLQN-2.4", std::string("01.02.2024 10:00:00"), GenerateCodePayload(4, 3));
  ASSERT_TRUE(packed.Error.empty()) << packed.Error;
  const QString image = Native(dir.filePath(QStringLiteral("held.eraw")));
  {
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(packed.Bytes.data()),
               static_cast<qint64>(packed.Bytes.size()));
  }

  TMainFormSetup setup;
  setup.Arguments = {QStringLiteral("externfirmware")};
  setup.ProgramDir = dir.path() + u'/';
  setup.ShowMessage = [](const QString&) {};
  TMainForm form(std::move(setup));
  form.show();
  form.SetFileBoxText(image);

  QProcess holder;
  holder.start(QStringLiteral(VL_WINTESTHELPER), {QStringLiteral("hold"), image, QStringLiteral("60000")});
  ASSERT_TRUE(holder.waitForReadyRead(kWaitMs));
  ASSERT_EQ(holder.readAllStandardOutput().trimmed(), "held");

  const qsizetype before = PaneLines(form).size();
  TFormControls(form).btnFwLoad->click();
  EXPECT_EQ(PaneLines(form).mid(before),
            QStringList({QStringLiteral("Прибор -------\tОшибка загрузки прошивки")}));
  EXPECT_NE(TFormControls(form).lblFileVer->text(), QStringLiteral("VLQN-2.4"));

  holder.kill();
  holder.waitForFinished(kWaitMs);
  TFormControls(form).btnFwLoad->click();
  EXPECT_EQ(TFormControls(form).lblFileVer->text(), QStringLiteral("VLQN-2.4"));
}

}  // namespace
