#include "app/logpane.h"

#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QTextCursor>

#include "shell/logline.h"

namespace {
constexpr int kBatchIntervalMs = 30;
}

TLogPane::TLogPane(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  BatchTimer.setSingleShot(true);
  BatchTimer.setInterval(kBatchIntervalMs);
  connect(&BatchTimer, &QTimer::timeout, this, &TLogPane::Flush);
  UpdateTabStop();
}

void TLogPane::changeEvent(QEvent* event) {
  QPlainTextEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateTabStop();
}

// The texts after the device prefix start in one column, whatever the serial number:
// the first tab stop lies beyond the widest prefix.
void TLogPane::UpdateTabStop() {
  const QFontMetricsF metrics(font());
  setTabStopDistance(metrics.horizontalAdvance(QStringLiteral("Прибор -2147483648")) +
                     metrics.averageCharWidth() * 2);
}

void TLogPane::AppendLine(TLogLevel level, const QString& line) {
  Pending.push_back({level, line});
  if (!BatchTimer.isActive()) BatchTimer.start();
}

void TLogPane::Flush() {
  BatchTimer.stop();
  if (Pending.empty()) return;
  QScrollBar* bar = verticalScrollBar();
  const bool followEnd = bar->value() >= bar->maximum();
  const int before = bar->value();

  // A cursor of its own, so the user's caret and selection stay where they are.
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  QTextCharFormat format;
  for (const TPendingLine& pending : Pending) {
    if (HasLines) cursor.insertBlock();
    format.setForeground(LogLevelColor(pending.Level));
    cursor.insertText(pending.Text, format);
    HasLines = true;
  }
  cursor.endEditBlock();

  // The view moves down with the new lines: at the end it stays at the end.
  const int added = static_cast<int>(Pending.size());
  bar->setValue(followEnd ? bar->maximum() : before + added);
  Pending.clear();
}
