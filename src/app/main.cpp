// The program's entry point: the integrity check beside the window's building, one copy
// per session, the main window.
#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "shell/devicelock.h"
#include "shell/devicewatch.h"
#include "app/messagebox.h"
#include "app/programstart.h"
#include "shell/singleinstance.h"
#include "shell/timerthrottling.h"

Q_LOGGING_CATEGORY(lcStart, "vl.start", QtWarningMsg)

namespace {

constexpr int kExitIntegrityFailed = 3;
constexpr int kExitDevicesHeld = 4;
const QString kCaption = QStringLiteral("Обновление прошивки Вельмарк");

// The message goes to the error stream as well, for runs without a screen; a message
// box is shown only where a user can see and close it.
void ShowStartupError(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
  if (!MessageBoxesVisible()) return;
  QMessageBox::critical(nullptr, kCaption, text);
}

}  // namespace

int main(int argc, char** argv) {
  TFontWarmUp fonts;
  const bool unthrottled = KeepTimerResolutionWhenHidden();
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("VLFWLoader"));

  TMainFormSetup setup;
  setup.Arguments = QCoreApplication::arguments().mid(1);
  setup.SimBusPath = TDeviceWatch::SimBusPathFromEnvironment();
  TProgramStart start =
      BuildWindowCheckingSeal(QCoreApplication::applicationFilePath(), std::move(setup), fonts);
  if (start.Integrity != TIntegrity::Intact) {
    ShowStartupError(IntegrityFailureText(start.Integrity));
    return kExitIntegrityFailed;
  }

  TSingleInstance instance;
  if (!instance.TryAcquire()) {
    qCInfo(lcStart) << "another copy runs; handing over";
    instance.NotifyRunningCopy(kCaption);
    return 0;
  }

  // Whoever runs it, in whatever session: one program drives the devices.
  TDeviceLock devices(QStringLiteral("VLFWLoader"));
  if (!devices.TryAcquire()) {
    ShowStartupError(TDeviceLock::RefusalText(devices.Holder()));
    return kExitDevicesHeld;
  }

  std::unique_ptr<TMainForm> form = std::move(start.Window);
  QObject::connect(&instance, &TSingleInstance::RestoreRequested, form.get(),
                   &TMainForm::OnRestoreRequest);
  QObject::connect(&instance, &TSingleInstance::FocusRequested, form.get(),
                   &TMainForm::OnFocusRequest);
  instance.Listen(kCaption);

  try {
    // VL_START_MINIMIZED starts the window minimised, as a shortcut set to "minimised"
    // does; the single-instance test starts the first copy so.
    if (qEnvironmentVariableIntValue("VL_START_MINIMIZED") != 0)
      form->showMinimized();
    else
      form->show();
    qCInfo(lcStart) << "running; minimised:" << form->isMinimized()
                    << "; timer resolution kept when hidden:" << unthrottled;
    QApplication::exec();
  } catch (const std::exception& error) {
    ShowStartupError(QString::fromUtf8(error.what()));
  } catch (...) {
    ShowStartupError(QStringLiteral("Непредвиденная ошибка"));
  }

  // The lock goes before the window: a copy started now runs normally, and may read the
  // settings before this one has written them.
  // The device lock only after the window, whose end sends the closing frames.
  instance.Release();
  form.reset();
  devices.Release();
  return 0;
}
