#pragma once
#include <QObject>
#include <functional>

// Runs work on the thread of owner and returns once it has run: the synchronous hand-over
// by which worker threads log, report progress and have the image loaded. Called on the
// owner's thread itself it runs the work directly, since waiting there for the owner's
// own event loop would never end. The caller must hold no lock the owner's thread may wait
// for, and the owner's event loop must keep running while workers hand over.
void HandOver(QObject& owner, const std::function<void()>& work);
