// Faults in a program reach it as the Windows exceptions they are, and a fault nothing
// catches ends the program with its code instead of leaving it waiting on a debugger:
// what every test of the Windows build relies on to see a crash as a failure.
#include <QProcess>
#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 120000;

TEST(ProgramFaults, AnAccessViolationReachesTheProgramAsOne) {
  QProcess helper;
  helper.start(QStringLiteral(VL_WINTESTHELPER), {QStringLiteral("fault")});
  ASSERT_TRUE(helper.waitForFinished(kWaitMs));
  // Not an illegal instruction (c000001d), which is what a fault without its trap
  // number becomes.
  EXPECT_EQ(QString::fromLatin1(helper.readAllStandardOutput()).trimmed(),
            QStringLiteral("caught c0000005"));
  EXPECT_EQ(helper.exitCode(), 3);
}

TEST(ProgramFaults, AnUncaughtFaultEndsTheProgramWithItsCode) {
  QProcess helper;
  helper.start(QStringLiteral(VL_WINTESTHELPER), {QStringLiteral("crash")});
  ASSERT_TRUE(helper.waitForFinished(kWaitMs)) << "the crashed program must end by itself";
  EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);
  EXPECT_EQ(static_cast<quint32>(helper.exitCode()), 0xC0000005u);
}

}  // namespace
