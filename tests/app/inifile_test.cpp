#include "shell/inifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/qtprint.h"

namespace {

TEST(IniFileTest, ReadsValuesWhateverTheCaseAndSpacing) {
  TIniFile ini;
  ini.Parse("; comment\r\n[Common]\r\n  MainForm = 1,2,3,4 \r\nLastFile=C:\\fw\\a=b.eraw\r\n"
            "[FILES]\r\n1=one\r\n0=zero\r\n2=\r\n; 3=not a key\r\n");
  EXPECT_EQ(ini.ReadString("COMMON", "mainform"), "1,2,3,4");
  EXPECT_EQ(ini.ReadString("common", "LastFile"), "C:\\fw\\a=b.eraw");
  EXPECT_EQ(ini.ReadString("COMMON", "Missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("NOSECTION", "MainForm", "x"), "x");
  EXPECT_EQ(ini.ReadSectionKeys("FILES"), QStringList({"1", "0", "2"}));
  EXPECT_EQ(ini.ReadString("FILES", "2", "default"), "");
}

TEST(IniFileTest, WritesKeyByKeyAndKeepsEverythingElse) {
  TIniFile ini;
  ini.Parse("; kept\n[COMMON]\nMainForm=1\nOther=keep me\n\n[FILES]\n0=a\n\n[Foreign]\nx=y\n");
  ini.WriteString("COMMON", "MAINFORM", "2");
  ini.WriteString("COMMON", "LastFile", "f");
  ini.WriteString("FILES", "1", "b");
  ini.DeleteKey("Foreign", "x");
  ini.WriteString("NEW", "k", "v\nsecond line");
  EXPECT_EQ(ini.Serialize(),
            "; kept\r\n[COMMON]\r\nMainForm=2\r\nOther=keep me\r\nLastFile=f\r\n\r\n"
            "[FILES]\r\n0=a\r\n1=b\r\n\r\n[Foreign]\r\n\r\n[NEW]\r\nk=v second line\r\n");
}

TEST(IniFileTest, WindowsCodePageFileIsRead) {
  TIniFile ini;
  // "Прошивка" in Windows-1251: not valid UTF-8.
  ini.Parse("[FILES]\r\n0=C:\\\xcf\xf0\xee\xf8\xe8\xe2\xea\xe0.eraw\r\n");
  EXPECT_EQ(ini.ReadString("FILES", "0"), QStringLiteral("C:\\Прошивка.eraw"));
  TIniFile utf8;
  utf8.Parse("\xEF\xBB\xBF[FILES]\n0=C:\\Прошивка.eraw\n");
  EXPECT_EQ(utf8.ReadString("FILES", "0"), QStringLiteral("C:\\Прошивка.eraw"));
}

TEST(IniFileTest, GarbageDoesNotBreakReading) {
  QByteArray garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  garbage += "\n[COMMON]\nMainForm=5\n";
  garbage += QByteArray(100, '\0');
  garbage += "\n[[]]\n=\n==\n[";
  TIniFile ini;
  ini.Parse(garbage);
  EXPECT_EQ(ini.ReadString("COMMON", "MainForm"), "5");
  ini.WriteString("COMMON", "MainForm", "6");
  TIniFile again;
  again.Parse(ini.Serialize());
  EXPECT_EQ(again.ReadString("COMMON", "MainForm"), "6");
}

TEST(IniFileTest, SaveAndLoad) {
  QTemporaryDir dir;
  const QString path = dir.filePath("s.ini");
  TIniFile ini;
  EXPECT_FALSE(ini.Load(path));
  ini.WriteString("COMMON", "LastFile", QStringLiteral("файл.eraw"));
  ASSERT_TRUE(ini.Save(path));
  TIniFile loaded;
  ASSERT_TRUE(loaded.Load(path));
  EXPECT_EQ(loaded.ReadString("COMMON", "LastFile"), QStringLiteral("файл.eraw"));
  // A directory that does not exist takes no file.
  EXPECT_FALSE(ini.Save(dir.filePath("missing/s.ini")));
}

}  // namespace
