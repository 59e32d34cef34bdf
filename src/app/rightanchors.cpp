#include "app/rightanchors.h"

#include <QEvent>

TRightAnchors::TRightAnchors(QWidget& container, int designWidth)
    : QObject(&container), Container(container), DesignWidth(designWidth) {
  container.installEventFilter(this);
}

void TRightAnchors::AnchorRight(QWidget* child, const QRect& designRect) {
  Children.push_back({child, designRect, false});
  Place(Children.back());
}

void TRightAnchors::Stretch(QWidget* child, const QRect& designRect) {
  Children.push_back({child, designRect, true});
  Place(Children.back());
}

void TRightAnchors::Place(const TAnchored& anchored) const {
  const int grown = Container.width() - DesignWidth;
  QRect rect = anchored.DesignRect;
  if (anchored.Stretches)
    rect.setWidth(qMax(0, rect.width() + grown));
  else
    rect.moveLeft(rect.left() + grown);
  anchored.Child->setGeometry(rect);
}

bool TRightAnchors::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &Container && event->type() == QEvent::Resize)
    for (const TAnchored& anchored : Children) Place(anchored);
  return QObject::eventFilter(watched, event);
}
