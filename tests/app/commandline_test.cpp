#include "app/commandline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/qtprint.h"

namespace {

// The file box's text for a path given on the command line: in lower case on Windows,
// whose file names ignore case, as given elsewhere.
QString AsShown(const QString& given) {
#ifdef Q_OS_WIN
  return given.toLower();
#else
  return given;
#endif
}

class CommandLineTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("FW")));
    Touch(QStringLiteral("FW/NEW.ERAW"));
    Touch(QStringLiteral("FW/old.eraw"));
    Touch(QStringLiteral("FW/image.raw"));
    ASSERT_TRUE(QDir(Dir.path()).mkpath(QStringLiteral("FW/folder.eraw")));
  }
  void Touch(const QString& name) {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  QString Path(const QString& name) const { return Dir.path() + u'/' + name; }

  QTemporaryDir Dir;
};

TEST_F(CommandLineTest, Switches) {
  struct Case {
    QStringList Arguments;
    bool External;
  };
  const Case cases[] = {
      {{}, false},
      {{QStringLiteral("externfirmware")}, true},
      {{QStringLiteral("-EXTERNFIRMWARE")}, true},
      {{QStringLiteral("/externfirmware")}, true},
      {{QStringLiteral("/ExternFirmware")}, true},
      // Only one leading character goes.
      {{QStringLiteral("--externfirmware")}, false},
      {{QStringLiteral("//externfirmware")}, false},
      {{QStringLiteral("externfirmware2")}, false},
      {{QStringLiteral(" externfirmware")}, false},
      {{QStringLiteral("anything"), QStringLiteral("-externfirmware")}, true},
  };
  for (const Case& c : cases) {
    const TCommandLine line = ParseCommandLine(c.Arguments);
    EXPECT_EQ(line.ExternalFirmware, c.External) << c.Arguments.join(u' ').toStdString();
    EXPECT_TRUE(line.FileText.isEmpty()) << c.Arguments.join(u' ').toStdString();
  }
}

TEST_F(CommandLineTest, ExistingErawFileSelectsFileMode) {
  const QString given = QDir::toNativeSeparators(Path(QStringLiteral("FW/NEW.ERAW")));
  const TCommandLine line = ParseCommandLine({given});
  EXPECT_TRUE(line.ExternalFirmware);
  EXPECT_EQ(line.FileText, AsShown(given));
}

TEST_F(CommandLineTest, FilesThatDoNotCount) {
  const QString cases[] = {
      Path(QStringLiteral("FW/image.raw")),
      Path(QStringLiteral("FW/missing.eraw")),
      Path(QStringLiteral("FW/folder.eraw")),  // a directory, not a file
  };
  for (const QString& argument : cases) {
    const TCommandLine line = ParseCommandLine({argument});
    EXPECT_FALSE(line.ExternalFirmware) << argument.toStdString();
    EXPECT_TRUE(line.FileText.isEmpty()) << argument.toStdString();
  }
}

TEST_F(CommandLineTest, LaterFileReplacesEarlierAndDashIsDropped) {
  QDir::setCurrent(Dir.path());
  const TCommandLine line =
      ParseCommandLine({QStringLiteral("FW/NEW.ERAW"), QStringLiteral("-FW/old.eraw")});
  EXPECT_TRUE(line.ExternalFirmware);
  EXPECT_EQ(line.FileText, AsShown(QStringLiteral("FW/old.eraw")));
}

TEST_F(CommandLineTest, RelativeFileAfterSlash) {
  QDir::setCurrent(Dir.path());
  const TCommandLine line = ParseCommandLine({QStringLiteral("/FW/NEW.ERAW")});
  EXPECT_TRUE(line.ExternalFirmware);
  EXPECT_EQ(line.FileText, AsShown(QStringLiteral("FW/NEW.ERAW")));
}

}  // namespace
