#include "app/fwloaderdevgroup.h"

#include "app/rightanchors.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPanelHeight = 90;
constexpr int kPanelMargin = 3;
constexpr int kBootTitleFromRight = 235;
constexpr int kBootTitleMinLeft = 423;
constexpr int kBootVersionOffset = 146;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int height, int pointSize, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  font.setPointSize(pointSize);
  font.setBold(bold);
  label->setFont(font);
  label->adjustSize();
  label->setGeometry(left, top, label->sizeHint().width(), height);
  return label;
}

}  // namespace

int DevPanelMinimumHeight(int deviceCount) {
  return deviceCount == 0 ? kPanelHeight : (kPanelHeight + 2 * kPanelMargin) * deviceCount;
}

TFWLoaderDevGroup::TFWLoaderDevGroup(QWidget* devPanel, const QString& serialText,
                                     const QString& loaderVersion,
                                     const QString& firmwareVersion) {
  // The panel's width is known before the layout places it: DevPanel's less the margins.
  const int panelWidth = devPanel->width();
  const int boxWidth = panelWidth - 2 * kPanelMargin;

  gbDevice = new QGroupBox(QStringLiteral("Прибор") + serialText, devPanel);
  gbDevice->setObjectName(QStringLiteral("gbDevice"));
  gbDevice->setFixedHeight(kPanelHeight);
  gbDevice->resize(boxWidth, kPanelHeight);

  lblSerialTitle = MakeLabel(gbDevice, "lblSerialTitle", QStringLiteral("Серийный номер:"), 4,
                             16, 19, 12, false);
  lblSerial = MakeLabel(gbDevice, "lblSerial", serialText, 138, 19, 16, 10, true);
  lblFwVerTitle = MakeLabel(gbDevice, "lblFwVerTitle", QStringLiteral("Версия прошивки:"), 209,
                            16, 19, 12, false);
  lblFwVer = MakeLabel(gbDevice, "lblFwVer", firmwareVersion, 347, 19, 16, 10, true);
  const int x = std::max(panelWidth - kBootTitleFromRight, kBootTitleMinLeft);
  lblBootVerTitle = MakeLabel(gbDevice, "lblBootVerTitle", QStringLiteral("Версия загрузчика:"),
                              x, 16, 19, 12, false);
  lblBootVer = MakeLabel(gbDevice, "lblBootVer", loaderVersion, x + kBootVersionOffset, 19, 16,
                         10, true);

  // The progress bar sits at the bottom of the box's client area with the margins.
  pbProgress = new QProgressBar(gbDevice);
  pbProgress->setObjectName(QStringLiteral("pbProgress"));
  pbProgress->setRange(0, 100);
  pbProgress->setValue(0);
  pbProgress->setTextVisible(false);
  const int frame = 2;
  pbProgress->setGeometry(frame + kPanelMargin, kPanelHeight - frame - kPanelMargin - 20,
                          boxWidth - 2 * (frame + kPanelMargin), 20);

  btnWrite = new QPushButton(QStringLiteral("Прошить"), gbDevice);
  btnWrite->setObjectName(QStringLiteral("btnWrite"));
  btnWrite->setGeometry(pbProgress->x() + pbProgress->width() - 99, 37, 100, 25);
  btnWrite->setEnabled(false);

  lblMessage = new QLabel(QStringLiteral("Прибор подключен"), gbDevice);
  lblMessage->setObjectName(QStringLiteral("lblMessage"));
  QFont messageFont = lblMessage->font();
  messageFont.setPointSize(12);
  messageFont.setBold(true);
  lblMessage->setFont(messageFont);
  lblMessage->setAlignment(Qt::AlignCenter);
  // Inside a scroll area the label would contrast with the viewport's base colour and
  // paint with the Text role; its colour is set on WindowText.
  lblMessage->setForegroundRole(QPalette::WindowText);
  // Its width is the button's left less 4 (not the distance between the two less 4): the
  // line reaches under the button's left edge by the bar's inset.
  lblMessage->setGeometry(pbProgress->x(), 38, btnWrite->x() - 4, 20);
  btnWrite->raise();  // the whole button stays clickable

  // From here on the right-hand controls keep their distance to the box's right edge and
  // the status line and the progress bar stretch with it.
  auto* anchors = new TRightAnchors(*gbDevice, boxWidth);
  for (QWidget* w : {static_cast<QWidget*>(lblBootVerTitle), static_cast<QWidget*>(lblBootVer),
                     static_cast<QWidget*>(btnWrite)})
    anchors->AnchorRight(w, w->geometry());
  anchors->Stretch(lblMessage, lblMessage->geometry());
  anchors->Stretch(pbProgress, pbProgress->geometry());

  auto* layout = qobject_cast<QVBoxLayout*>(devPanel->layout());
  if (layout == nullptr) {
    // Each panel takes its 90 pixels and a 3-pixel margin on every side; the closing
    // stretch keeps the panels at the top.
    layout = new QVBoxLayout(devPanel);
    layout->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    layout->setSpacing(2 * kPanelMargin);
    layout->addStretch(1);
  }
  layout->insertWidget(layout->count() - 1, gbDevice);
  gbDevice->show();
}

TFWLoaderDevGroup::~TFWLoaderDevGroup() { delete gbDevice; }

void TFWLoaderDevGroup::SetStatus(std::string_view text, TLogLevel level) {
  lblMessage->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  QPalette palette = lblMessage->palette();
  QColor colour = QApplication::palette().color(QPalette::WindowText);
  if (level == llError) colour = QColor(255, 0, 0);
  if (level == llSuccess) colour = QColor(0, 128, 0);
  palette.setColor(QPalette::WindowText, colour);
  lblMessage->setPalette(palette);
}

void TFWLoaderDevGroup::SetProgress(int position) { pbProgress->setValue(position); }

void TFWLoaderDevGroup::SetWriteAllowed(bool allowed) { btnWrite->setEnabled(allowed); }

void TFWLoaderDevGroup::ShowOutcome(const TWriteOutcome& outcome) {
  Outcome = outcome;
  SetStatus(outcome.StatusText, outcome.StatusLevel);
}
