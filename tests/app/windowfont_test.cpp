#include "app/windowfont.h"

#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/fwloaderdevgroup.h"

// Where the system has no Tahoma, the one of Wine's font package is registered, and with
// it a panel's captions end before the values beside them begin.
TEST(WindowFont, WinesTahomaIsTakenAndThePanelsCaptionsClearTheirValues) {
  if (!QFile::exists("/usr/share/wine/fonts/tahoma.ttf"))
    GTEST_SKIP() << "Wine's font package is not installed";
  MakeWindowFontAvailable();
  QFont font(QStringLiteral("Tahoma"), 8);
  EXPECT_EQ(QFontInfo(font).family(), "Tahoma");

  QWidget devPanel;
  devPanel.setFont(font);
  devPanel.resize(650, 300);
  new QVBoxLayout(&devPanel);
  TFWLoaderDevGroup panel(&devPanel, "5500250", "VLQN-1.3", "VLQN-2.2");
  const struct {
    QLabel* Caption;
    QLabel* Value;
  } pairs[] = {{panel.lblSerialTitle, panel.lblSerial},
               {panel.lblFwVerTitle, panel.lblFwVer},
               {panel.lblBootVerTitle, panel.lblBootVer}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.Caption->text().toStdString());
    EXPECT_EQ(QFontInfo(pair.Caption->font()).family(), "Tahoma");
    EXPECT_LE(pair.Caption->geometry().right(), pair.Value->x());
  }
}
