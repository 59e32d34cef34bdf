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

TEST(WindowFont, CaptionsAreDrawnInTahomaAndClearTheirValues) {
  // The fonts of the offscreen platform are not the system's.
  ASSERT_EQ(QGuiApplication::platformName(), "windows");
  MakeWindowFontAvailable();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TMainFormSetup setup;
  setup.ProgramDir = dir.path() + u'/';
  setup.ShowMessage = [](const QString&) {};
  TMainForm form(std::move(setup));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  TFormControls controls(form);
  TFWLoaderDevGroup panel(controls.DevPanel, "5500250", "VLQN-1.3", "VLQN-2.2");

  const struct {
    QLabel* Caption;
    QWidget* Value;
  } pairs[] = {
      {controls.Label1, controls.edFWFile},
      {controls.Label5, controls.lblFirmwDate},
      {controls.Label2, controls.lblFileVer},
      {panel.lblSerialTitle, panel.lblSerial},
      {panel.lblFwVerTitle, panel.lblFwVer},
      {panel.lblBootVerTitle, panel.lblBootVer},
  };
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

}  // namespace
