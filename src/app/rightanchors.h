#pragma once
#include <QObject>
#include <QRect>
#include <QWidget>
#include <vector>

// Keeps children of a container placed as designed for one container width: children
// anchored to the right keep their distance to the right edge, stretching children
// keep both distances and change their width. Children not registered stay where they
// were put.
class TRightAnchors : public QObject {
public:
  TRightAnchors(QWidget& container, int designWidth);

  void AnchorRight(QWidget* child, const QRect& designRect);
  void Stretch(QWidget* child, const QRect& designRect);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct TAnchored {
    QWidget* Child;
    QRect DesignRect;
    bool Stretches;
  };
  void Place(const TAnchored& anchored) const;

  QWidget& Container;
  int DesignWidth;
  std::vector<TAnchored> Children;
};
