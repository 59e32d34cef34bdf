// The window's captions with the system's own font database. The places of the window
// are designed for Tahoma: with the fonts the system has, and what the program does about
// them at its start, every caption of the top group and of a device panel is drawn in
// Tahoma, Cyrillic included (a family without it would hand the captions to another
// font), and its text ends before the place of the value beside it.
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "app/fwloaderdevgroup.h"
#include "app/mainform.h"
#include "app/windowfont.h"
#include "support/formcontrols.h"

namespace {

// The family of the label's font as matched, provided it has every character of the
// text; what it lacks another font would draw.
std::string DrawingFamily(const QLabel& label) {
  const QFontMetrics metrics(label.font());
  for (const uint character : label.text().toUcs4())
    if (!metrics.inFontUcs4(character))
      return "another font for U+" + QString::number(character, 16).toStdString();
  return QFontInfo(label.font()).family().toStdString();
}

// The last pixel column the label's text covers, in its parent's coordinates. The box of
// a caption may reach its value's by a pixel or two (Wine's Tahoma, measured by GDI, is
// that much wider than the places allow); its text may not.
int InkRight(const QLabel& label) {
  const QFontMetrics metrics(label.font());
  const QRect text = QStyle::alignedRect(
      label.layoutDirection(), label.alignment(),
      QSize(metrics.horizontalAdvance(label.text()), metrics.height()), label.contentsRect());
  return label.x() + text.left() + metrics.tightBoundingRect(label.text()).right();
}

// The caption beside each value, of the top group and of a device panel.
struct TCaptionPair {
  QLabel* Caption;
  QWidget* Value;
};

void ExpectCaptionsInTahomaClearingTheirValues(const std::vector<TCaptionPair>& pairs) {
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.Caption->objectName().toStdString());
    EXPECT_EQ(DrawingFamily(*pair.Caption), "Tahoma");
    if (const auto* value = qobject_cast<QLabel*>(pair.Value)) {
      EXPECT_EQ(DrawingFamily(*value), "Tahoma") << value->text().toStdString();
    }
    ASSERT_EQ(pair.Caption->parentWidget(), pair.Value->parentWidget());
    EXPECT_LT(InkRight(*pair.Caption), pair.Value->x());
  }
}

class WindowFont : public ::testing::Test {
protected:
  void SetUp() override {
    // The fonts of the offscreen platform are not the system's.
    ASSERT_EQ(QGuiApplication::platformName(), "windows");
    MakeWindowFontAvailable();
    ASSERT_TRUE(Dir.isValid());
    TMainFormSetup setup;
    setup.ProgramDir = Dir.path() + u'/';
    setup.ShowMessage = [](const QString&) {};
    Form = std::make_unique<TMainForm>(std::move(setup));
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    TFormControls controls(*Form);
    Panel = std::make_unique<TFWLoaderDevGroup>(controls.DevPanel, "5500250", "VLQN-1.3", "VLQN-2.2");
    Pairs = {
        {controls.Label1, controls.edFWFile},
        {controls.Label5, controls.lblFirmwDate},
        {controls.Label2, controls.lblFileVer},
        {Panel->lblSerialTitle, Panel->lblSerial},
        {Panel->lblFwVerTitle, Panel->lblFwVer},
        {Panel->lblBootVerTitle, Panel->lblBootVer},
    };
  }
  void TearDown() override {
    Panel.reset();
    Form.reset();
  }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Form;
  std::unique_ptr<TFWLoaderDevGroup> Panel;
  std::vector<TCaptionPair> Pairs;
};

TEST_F(WindowFont, CaptionsAreDrawnInTahomaAndClearTheirValues) {
  ExpectCaptionsInTahomaClearingTheirValues(Pairs);
}

// The window under the system's own font scaling (125 %, 150 %), as a user who set it
// sees it: scaled_window_test.sh runs this in a prefix whose LogPixels stands for the
// system's scale and names it in VL_EXPECTED_DPI, and keeps a picture of the window.
TEST_F(WindowFont, ScaledByTheSystemItStaysWholeAndCaptionsClearTheirValues) {
  const int dpi = qEnvironmentVariableIntValue("VL_EXPECTED_DPI");
  if (dpi == 0) GTEST_SKIP() << "run by scaled_window_test.sh";
  EXPECT_DOUBLE_EQ(Form->devicePixelRatioF(), dpi / 96.0) << "the system's scale did not reach the window";
  ExpectCaptionsInTahomaClearingTheirValues(Pairs);
  const QRect inside = Form->rect();
  for (QWidget* control : Form->findChildren<QWidget*>()) {
    if (!control->isVisibleTo(Form.get()) || control->isWindow()) continue;
    const QRect place(control->mapTo(Form.get(), QPoint(0, 0)), control->size());
    EXPECT_TRUE(inside.contains(place))
        << control->metaObject()->className() << " " << control->objectName().toStdString();
  }
  const QString screenshot = qEnvironmentVariable("VL_SCREENSHOT");
  if (!screenshot.isEmpty()) {
    EXPECT_TRUE(Form->grab().save(screenshot));
  }
}

}  // namespace
