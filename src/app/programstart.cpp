#include "app/programstart.h"

#include <future>

#include "app/windowfont.h"

TProgramStart BuildWindowCheckingSeal(const QString& program, TMainFormSetup setup,
                                      TFontWarmUp& fonts) {
  std::future<TIntegrity> seal = std::async(std::launch::async, CheckExecutableSeal, program);
  fonts.Wait();
  MakeWindowFontAvailable();
  TProgramStart start;
  start.Window = std::make_unique<TMainForm>(std::move(setup));
  start.Integrity = seal.get();
  if (start.Integrity != TIntegrity::Intact) start.Window.reset();
  return start;
}
