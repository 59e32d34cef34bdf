// The window's controls and their arrangement. Sizes are pixels at 96 dots per inch;
// the fonts follow the platform's scaling.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/logpane.h"
#include "app/mainform.h"
#include "app/rightanchors.h"

namespace {

constexpr int kClientWidth = 664;
constexpr int kClientHeight = 456;
constexpr int kGroupHeight = 110;
constexpr int kMargin = 3;
constexpr int kGroupDesignWidth = kClientWidth - 2 * kMargin;
constexpr int kDevPanelMinHeight = 90;
constexpr int kSplitterHandle = 3;

// Tahoma is the window's font; where it is missing, a font of similar width keeps the
// designed places from overlapping.
QFont WindowFont(int pointSize, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Nimbus Sans"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(pointSize);
  font.setBold(bold);
  return font;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int pointSize,
                  bool bold) {
  QLabel* label = Named(new QLabel(text, parent), name);
  label->setFont(WindowFont(pointSize, bold));
  return label;
}

// A label that sizes itself to its text, at a designed top-left corner.
void PlaceAutoSized(QLabel* label, int left, int top) {
  label->adjustSize();
  label->move(left, top);
}

}  // namespace

void TMainForm::BuildControls() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Обновление прошивки Вельмарк"));
  setFont(WindowFont(8));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  resize(kClientWidth, kClientHeight);
  // 680 outer pixels: the client width with a standard window frame.
  setMinimumWidth(kClientWidth);
  move(0, 0);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  // --- GroupBox1: the firmware file ---
  GroupBox1 = Named(new QGroupBox(QStringLiteral("Файл прошивки"), this), "GroupBox1");
  GroupBox1->setFixedHeight(kGroupHeight);
  auto* top = new QVBoxLayout;
  top->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  top->addWidget(GroupBox1);
  outer->addLayout(top);
  GroupBox1->resize(kGroupDesignWidth, kGroupHeight);
  auto* anchors = new TRightAnchors(*GroupBox1, kGroupDesignWidth);

  Label1 = MakeLabel(GroupBox1, "Label1", QStringLiteral("Файл:"), 12, false);
  PlaceAutoSized(Label1, 8, 34);

  edFWFile = Named(new QComboBox(GroupBox1), "edFWFile");
  edFWFile->setEditable(true);
  edFWFile->setCompleter(nullptr);
  edFWFile->setInsertPolicy(QComboBox::NoInsert);
  edFWFile->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  anchors->Stretch(edFWFile, QRect(58, 36, 478, edFWFile->sizeHint().height()));

  btnFwOpen = Named(new QPushButton(QStringLiteral("..."), GroupBox1), "btnFwOpen");
  btnFwOpen->setToolTip(QStringLiteral("Открыть файл прошивки"));
  anchors->AnchorRight(btnFwOpen, QRect(543, 34, 25, 25));

  btnFwLoad = Named(new QPushButton(QStringLiteral("Прочитать"), GroupBox1), "btnFwLoad");
  anchors->AnchorRight(btnFwLoad, QRect(573, 34, 75, 25));

  Label5 = MakeLabel(GroupBox1, "Label5", QStringLiteral("Дата создания:"), 12, false);
  PlaceAutoSized(Label5, 8, 63);

  lblFirmwDate = MakeLabel(GroupBox1, "lblFirmwDate", QStringLiteral("Неизвестна"), 10, true);
  lblFirmwDate->setGeometry(132, 66, 250, lblFirmwDate->sizeHint().height());
  lblFirmwDate->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // Label2 and lblFileVer are right-aligned: their right edges stay put and a longer
  // version text grows to the left, so a row of their own lays them out.
  auto* versionRow = new QWidget(GroupBox1);
  auto* versionLayout = new QHBoxLayout(versionRow);
  versionLayout->setContentsMargins(0, 0, 0, 0);
  versionLayout->setSpacing(8);
  Label2 = MakeLabel(versionRow, "Label2", QStringLiteral("Версия прошивки:"), 12, false);
  Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblFileVer = MakeLabel(versionRow, "lblFileVer", QStringLiteral("Неизвестна"), 10, true);
  lblFileVer->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Both stand 3 pixels lower than their captions on the left, as the date does.
  lblFileVer->setContentsMargins(0, 3, 0, 0);
  versionLayout->addStretch(1);
  versionLayout->addWidget(Label2, 0, Qt::AlignTop);
  versionLayout->addWidget(lblFileVer, 0, Qt::AlignTop);
  // From the end of lblFirmwDate's room to lblFileVer's designed right edge.
  const int rowHeight = qMax(Label2->sizeHint().height(), lblFileVer->sizeHint().height());
  anchors->AnchorRight(versionRow, QRect(390, 63, 646 - 390, rowHeight));

  cbAutoWrite = Named(new QCheckBox(QStringLiteral("Прошивать автоматически"), GroupBox1),
                      "cbAutoWrite");
  cbAutoWrite->setFont(WindowFont(10));
  cbAutoWrite->adjustSize();
  cbAutoWrite->move(8, 87);

  cbWritelogToFile = Named(new QCheckBox(QStringLiteral("Записывать лог в файл"), GroupBox1),
                           "cbWritelogToFile");
  cbWritelogToFile->setFont(WindowFont(10));
  cbWritelogToFile->adjustSize();
  anchors->AnchorRight(cbWritelogToFile, QRect(QPoint(413, 87), cbWritelogToFile->size()));

  // --- Panel1: device panels above the splitter, the log below ---
  Panel1 = Named(new QWidget(this), "Panel1");
  outer->addWidget(Panel1, 1);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);

  Splitter1 = Named(new QSplitter(Qt::Vertical, Panel1), "Splitter1");
  Splitter1->setHandleWidth(kSplitterHandle);
  Splitter1->setOpaqueResize(true);
  Splitter1->setChildrenCollapsible(false);
  panelLayout->addWidget(Splitter1);

  ScrollBox1 = Named(new QScrollArea(Splitter1), "ScrollBox1");
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setWidgetResizable(true);
  DevPanel = Named(new QWidget, "DevPanel");
  DevPanel->setMinimumHeight(kDevPanelMinHeight);
  ScrollBox1->setWidget(DevPanel);
  // The panels stand on the window's own face, not on the white of a scroll area.
  ScrollBox1->viewport()->setBackgroundRole(QPalette::Window);
  DevPanel->setBackgroundRole(QPalette::Window);

  reLog = Named(new TLogPane(Splitter1), "reLog");
  reLog->setFont(WindowFont(8));

  Splitter1->addWidget(ScrollBox1);
  Splitter1->addWidget(reLog);
  // On resizing the window the device area changes, the log keeps its height.
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
}

void TMainForm::SetLogHeight(int height) {
  // The splitter shares out its height by the sizes given; with the layout settled first
  // the log gets exactly the height asked for.
  if (QLayout* layout = this->layout()) layout->activate();
  const int total = Splitter1->height() - Splitter1->handleWidth();
  const int logHeight = qMin(height, qMax(0, total - ScrollBox1->minimumSizeHint().height()));
  Splitter1->setSizes({qMax(0, total - logHeight), logHeight});
}
