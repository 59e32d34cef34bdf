#include "app/fwloaderdevgroup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

struct PanelFixture : ::testing::Test {
  QWidget DevPanel;
  void SetUp() override {
    DevPanel.resize(650, 400);
    DevPanel.show();  // hidden widgets get no resize events
  }
  std::unique_ptr<TFWLoaderDevGroup> Make(const QString& serial = QStringLiteral("5500250")) {
    auto panel = std::make_unique<TFWLoaderDevGroup>(&DevPanel, serial, QStringLiteral("VLQN-1.4"),
                                                     QStringLiteral("VLQN-2.3b"));
    DevPanel.layout()->activate();
    return panel;
  }
};

}  // namespace

TEST_F(PanelFixture, ShowsTheDeviceAndStartsIdle) {
  auto panel = Make();
  EXPECT_EQ(panel->gbDevice->title(), "Прибор5500250");
  EXPECT_EQ(panel->lblSerial->text(), "5500250");
  EXPECT_TRUE(panel->lblSerial->font().bold());
  EXPECT_EQ(panel->lblSerialTitle->text(), "Серийный номер:");
  EXPECT_EQ(panel->lblFwVer->text(), "VLQN-2.3b");
  EXPECT_EQ(panel->lblBootVer->text(), "VLQN-1.4");
  EXPECT_EQ(panel->lblMessage->text(), "Прибор подключен");
  EXPECT_EQ(panel->btnWrite->text(), "Прошить");
  EXPECT_FALSE(panel->btnWrite->isEnabled());
  EXPECT_EQ(panel->pbProgress->value(), 0);
  EXPECT_EQ(panel->pbProgress->maximum(), 100);
  EXPECT_EQ(panel->gbDevice->height(), 90);
  EXPECT_EQ(panel->gbDevice->y(), 3);
}

TEST_F(PanelFixture, BootLoaderLabelsFollowThePanelWidthWithAFloor) {
  const struct {
    int width, title, version;
  } cases[] = {{650, 423, 569}, {800, 565, 711}, {500, 423, 569}};
  for (const auto& c : cases) {
    DevPanel.resize(c.width, 400);
    auto panel = Make();
    EXPECT_EQ(panel->lblBootVerTitle->x(), c.title) << c.width;
    EXPECT_EQ(panel->lblBootVer->x(), c.version) << c.width;
  }
}

TEST_F(PanelFixture, WideningMovesRightAnchoredControlsAndStretchesTheStatus) {
  auto panel = Make();
  const QPoint serial = panel->lblSerial->pos();
  const QPoint firmware = panel->lblFwVer->pos();
  const int title = panel->lblBootVerTitle->x();
  const int button = panel->btnWrite->x();
  const int status = panel->lblMessage->width();
  // The status line's width is the button's left edge less 4, measured from the box's
  // edge although the line starts at the progress bar's left.
  EXPECT_EQ(status, button - 4);
  EXPECT_EQ(panel->lblMessage->x(), panel->pbProgress->x());

  DevPanel.resize(850, 400);
  DevPanel.layout()->activate();
  EXPECT_EQ(panel->lblBootVerTitle->x(), title + 200);
  EXPECT_EQ(panel->btnWrite->x(), button + 200);
  EXPECT_EQ(panel->lblMessage->width(), status + 200);
  EXPECT_EQ(panel->lblSerial->pos(), serial);
  EXPECT_EQ(panel->lblFwVer->pos(), firmware);
}

TEST_F(PanelFixture, PanelsStackInListOrderAndCloseGaps) {
  std::vector<std::unique_ptr<TFWLoaderDevGroup>> panels;
  for (int i = 0; i < 13; ++i) panels.push_back(Make(QString::number(i + 1)));
  DevPanel.resize(650, DevPanelMinimumHeight(13));
  DevPanel.layout()->activate();
  for (int i = 0; i < 13; ++i) EXPECT_EQ(panels[i]->gbDevice->y(), 3 + 96 * i) << i;

  panels.erase(panels.begin());
  DevPanel.layout()->activate();
  EXPECT_EQ(panels[0]->gbDevice->title(), "Прибор2");
  EXPECT_EQ(panels[0]->gbDevice->y(), 3);
  EXPECT_EQ(DevPanel.findChildren<QGroupBox*>().size(), 12);
}

TEST_F(PanelFixture, StatusColourByLevel) {
  auto panel = Make();
  const QColor text = QApplication::palette().color(QPalette::WindowText);
  const struct {
    TLogLevel level;
    QColor colour;
  } cases[] = {{llError, QColor(255, 0, 0)},
               {llSuccess, QColor(0, 128, 0)},
               {llInfo, text},
               {static_cast<TLogLevel>(3), text}};
  for (const auto& c : cases) {
    panel->SetStatus("Отключите прибор и подключите заново.", c.level);
    EXPECT_EQ(panel->lblMessage->text(), "Отключите прибор и подключите заново.");
    EXPECT_EQ(panel->lblMessage->palette().color(QPalette::WindowText), c.colour) << int(c.level);
  }
}

TEST(DevPanelHeight, NinetySixPerDeviceOrNinetyWhenEmpty) {
  EXPECT_EQ(DevPanelMinimumHeight(0), 90);
  EXPECT_EQ(DevPanelMinimumHeight(1), 96);
  EXPECT_EQ(DevPanelMinimumHeight(2), 192);
}

// The colour must reach the screen, not only the palette: a style may paint labels with
// another role.
TEST_F(PanelFixture, StatusIsPaintedInItsColour) {
  auto panel = Make();
  panel->SetStatus("Обновление прошивки завершено успешно", llSuccess);
  const QImage image = panel->lblMessage->grab().toImage();
  bool green = false;
  for (int y = 0; y < image.height() && !green; ++y)
    for (int x = 0; x < image.width() && !green; ++x) {
      const QColor c = image.pixelColor(x, y);
      green = c.green() > 90 && c.red() < 60 && c.blue() < 60;
    }
  EXPECT_TRUE(green);
}
