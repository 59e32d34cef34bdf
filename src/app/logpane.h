#pragma once
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <vector>

#include "protocol/loglevel.h"

// The log pane. A line is taken at once, in order, and painted with the next batch: a
// short timer gathers what has arrived and inserts it in one edit block, since
// inserting and repainting line by line costs several times as much. The pane keeps
// every line of the run; it keeps no undo history, which would double what a line costs.
class TLogPane : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit TLogPane(QWidget* parent = nullptr);

  void AppendLine(TLogLevel level, const QString& line);
  // Paints the lines that have arrived since the last batch.
  void Flush();
  qsizetype PendingLines() const { return static_cast<qsizetype>(Pending.size()); }

protected:
  void changeEvent(QEvent* event) override;

private:
  void UpdateTabStop();

  struct TPendingLine {
    TLogLevel Level;
    QString Text;
  };

  std::vector<TPendingLine> Pending;
  QTimer BatchTimer;
  bool HasLines = false;
};
