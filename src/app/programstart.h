#pragma once
#include <QString>
#include <memory>

#include "app/fontwarmup.h"
#include "shell/integritycheck.h"
#include "app/mainform.h"

// The start of the program up to a window ready to show: the main window is built while
// the program's own file is checked against its seal on another thread, since the check
// reads and hashes the whole file and the two take about as long. Nothing is shown and no
// device is touched before the check has passed: the window reads its settings, loads
// the image and the driver libraries only when it is first shown.
struct TProgramStart {
  TIntegrity Integrity = TIntegrity::Unreadable;
  std::unique_ptr<TMainForm> Window;  // null unless the seal holds
};

// `fonts`, started before the application object, is waited for before the window's
// first text.
TProgramStart BuildWindowCheckingSeal(const QString& program, TMainFormSetup setup,
                                      TFontWarmUp& fonts);
