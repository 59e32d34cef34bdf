// Devices found, identified and listed by the window's scans.
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QPushButton>

#include "e2efixture.h"
#include "protocol/frame.h"
#include "support/formcontrols.h"

namespace {
const QString kNone = QStringLiteral("Прибор -------\t");
QString Dev(int serial) { return QStringLiteral("Прибор %1\t").arg(serial, 7); }

// Whether some pixel of the widget as painted has the colour: inside a scroll area a
// label may be painted with another palette role than the one its colour was set on.
bool PaintedIn(QWidget* widget, const QColor& colour) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) return true;
  return false;
}
}  // namespace

TEST_F(E2ETest, NoDeviceLogsNothingAndKeepsTheMinimumHeight) {
  Start();
  WaitForScan(0);
  ASSERT_TRUE(WaitUntil([&] { return !Form->Controller().ScanTimer().isActive() && !Form->Controller().ScanRunning(); }));
  EXPECT_TRUE(Lines().isEmpty()) << Lines().join('\n').toStdString();
  EXPECT_EQ(TFormControls(*Form).DevPanel->minimumHeight(), 90);
  EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(E2ETest, DevicesPluggedTogetherAreAddedByOneScanFtdiFirst) {
  Bus.Add(Device("q", saQn, "2002"));
  Bus.Add(Device("f", saFtdi, "1001"));
  Start();
  WaitForScan(2);
  const auto listed = Form->Controller().Devices();
  EXPECT_EQ(Form->Controller().Device(listed[0])->SerialNumber, 1001);
  EXPECT_EQ(Form->Controller().Device(listed[1])->SerialNumber, 2002);
  EXPECT_EQ(Lines(), QStringList({
                         Dev(1001) + "Прибор подключен",
                         Dev(1001) + "Версия прошивки VLQN-2.3",
                         kNone + "Версия загрузчика VLQN-1.3",
                         Dev(1001) + "Идентификатор процессора 0x25013F37",
                         Dev(1001) + "Режим работы - Загрузчик",
                         Dev(2002) + "Прибор подключен",
                         Dev(2002) + "Версия прошивки VLQN-2.3",
                         kNone + "Версия загрузчика VLQN-1.3",
                         Dev(2002) + "Идентификатор процессора 0x25013F37",
                         Dev(2002) + "Режим работы - Загрузчик",
                     }));
  EXPECT_TRUE(Panel(1001)->btnWrite->isEnabled());
  EXPECT_EQ(Panel(1001)->lblBootVer->text(), "VLQN-1.3");
  EXPECT_LT(Panel(1001)->gbDevice->y(), Panel(2002)->gbDevice->y());
  EXPECT_EQ(TFormControls(*Form).DevPanel->minimumHeight(), 192);
}

// A missing library is reported in a message box, whose event loop runs longer than a
// scan interval; the first scan must still come after the other library has loaded.
TEST_F(E2ETest, DevicesAtStartAreFoundWhenOnlyTheMakersLibraryIsInstalled) {
  Bus.Add(Device("q", saQn, "2002"));
  Bus.Add(Device("f", saFtdi, "1001"));
  Customise = [this](TMainFormSetup& setup) {
    setup.LoadDrivers = [] { return TLoadedDrivers{false, LoadQnDriver() != nullptr}; };
    setup.ShowMessage = [this](const QString& text) {
      Messages << text;
      QEventLoop box;
      QTimer::singleShot(3 * TDeviceController::kScanIntervalMs, &box, &QEventLoop::quit);
      box.exec();
    };
  };
  Start();
  WaitForScan(1);
  EXPECT_NE(Listed(2002), nullptr);
  EXPECT_EQ(Messages, QStringList({"Драйвер устройств FTDI не установлен."}));
}

TEST_F(E2ETest, ApplicationModeDeviceIsToldToRestartAndComesBackAsBootLoader) {
  Bus.Add(Device("a", saFtdi, "3003", false));
  Start();
  WaitForScan(1);
  EXPECT_EQ(Lines(), QStringList({
                         Dev(3003) + "Отправляем команду запуска загрузчика",
                         Dev(3003) + "Команда запуска загрузчика обработана. Переподключите устройство.",
                         Dev(3003) + "Прибор подключен",
                         Dev(3003) + "Версия прошивки VLQN-2.3",
                         Dev(3003) + "Идентификатор процессора 0x00000000",
                         Dev(3003) + "Режим работы - Прошивка",
                     }));
  TFWLoaderDevGroup* panel = Panel(3003);
  EXPECT_FALSE(panel->btnWrite->isEnabled());
  EXPECT_EQ(panel->lblBootVer->text(), "");
  EXPECT_EQ(panel->lblMessage->text(), "Отключите прибор и подключите заново.");
  EXPECT_EQ(panel->lblMessage->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_TRUE(PaintedIn(panel->lblMessage, QColor(0, 128, 0)));
  EXPECT_EQ(Bus.TextCommandsReceived("a", "START_BOOT_LOADER"), 1u);

  // Unplugged, seen gone, plugged again: a new record in boot-loader mode.
  Bus.Unplug("a");
  Notify();
  WaitForScan(0);
  EXPECT_TRUE(Logged(Dev(3003) + "Прибор отключен"));
  Bus.Plug("a");
  Notify();
  WaitForScan(1);
  EXPECT_TRUE(Listed(3003)->BootMode);
  EXPECT_TRUE(Panel(3003)->btnWrite->isEnabled());
}

TEST_F(E2ETest, SilentDeviceFailsTheWholeScanWithCode8) {
  // On the maker's adapter every read waits the library's 500 ms, so the four attempts
  // take seconds rather than the FTDI adapter's eight.
  TSimDeviceConfig silent = Device("s", saQn, "4004", false);
  silent.Silent = true;
  Bus.Add(Device("f", saFtdi, "1001"));
  Bus.Add(silent);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return !Lines().filter("поиске новых устройств").isEmpty(); }));
  ASSERT_TRUE(WaitUntil([&] { return !Form->Controller().ScanRunning(); }));
  const QStringList errors = Lines().filter("поиске новых устройств");
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(QRegularExpression(R"(^Прибор -------\t\( *\d+\)Ошибка 8 поиске новых устройств\. Последний код ответа прибора 0$)")
                  .match(errors[0])
                  .hasMatch())
      << errors[0].toStdString();
  EXPECT_EQ(Bus.TextCommandsReceived("s", "FL_READ_VERSION$"), 4u);
  EXPECT_EQ(Bus.TextCommandsReceived("s", "START_BOOT_LOADER"), 0u);
  EXPECT_TRUE(Form->Controller().Devices().empty());  // the well device is not added either
}

TEST_F(E2ETest, DeviceThatDoesNotOpenGivesCode7) {
  TSimDeviceConfig refusing = Device("r", saFtdi, "5005");
  refusing.RefuseOpen = true;
  Bus.Add(refusing);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return !Lines().filter("Ошибка 7 поиске").isEmpty(); }));
  EXPECT_EQ(Bus.FramesReceived("r", frame::cmdReadFirmwareVersion), 0u);
  EXPECT_TRUE(Form->Controller().Devices().empty());
}

TEST_F(E2ETest, UnpluggedMiddleDeviceGoesAndTheOthersStay) {
  Bus.Add(Device("a", saFtdi, "1"));
  Bus.Add(Device("b", saFtdi, "2"));
  Bus.Add(Device("c", saFtdi, "3"));
  Start();
  WaitForScan(3);
  EXPECT_EQ(TFormControls(*Form).DevPanel->minimumHeight(), 288);
  Bus.Unplug("b");
  Notify();
  WaitForScan(2);
  EXPECT_TRUE(Logged(Dev(2) + "Прибор отключен"));
  EXPECT_EQ(Panel(1)->gbDevice->title(), "Прибор1");
  EXPECT_EQ(Panel(3)->gbDevice->title(), "Прибор3");
  EXPECT_EQ(TFormControls(*Form).DevPanel->findChildren<QGroupBox*>().size(), 2);
  EXPECT_EQ(TFormControls(*Form).DevPanel->minimumHeight(), 192);
  ASSERT_TRUE(WaitUntil([&] { return Panel(3)->gbDevice->y() == 99; }));
}

TEST_F(E2ETest, DevicePluggedDuringAScanIsFoundWithoutAnotherNotification) {
  // An application-mode device on the maker's adapter keeps the scan busy for seconds.
  Bus.Add(Device("slow", saQn, "10", false));
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Form->Controller().ScanRunning(); }));
  ASSERT_TRUE(WaitUntil([&] { return Bus.TextCommandsReceived("slow", "FL_READ_VERSION$") > 0; }));
  Bus.Add(Device("late", saFtdi, "11"));
  int scans = 0;
  QObject::connect(&Form->Controller(), &TDeviceController::ScanEnded, [&] { ++scans; });
  // Its one notification comes while the first scan still runs.
  ASSERT_TRUE(Form->Controller().ScanRunning());
  Notify();
  WaitForScan(2);
  EXPECT_NE(Listed(11), nullptr);
  EXPECT_EQ(scans, 2);
}

TEST_F(E2ETest, FailedOrIncompleteFtdiListingLeavesListedFtdiDevicesInPlace) {
  Bus.Add(Device("f", saFtdi, "1"));
  Bus.Add(Device("q", saQn, "2"));
  Start();
  WaitForScan(2);
  const struct {
    const char* name;
    std::function<void(TSimDeviceConfig&)> fault;
  } cases[] = {
      {"driver error", [](TSimDeviceConfig& c) { c.ListingErrors = 1; }},
      {"descriptions stay empty", [](TSimDeviceConfig& c) { c.EmptyDescriptionListings = 50; }},
  };
  for (const auto& c : cases) {
    Bus.Configure("f", c.fault);
    Bus.Unplug("q");  // a device of the other kind that did go is still seen gone
    Notify();
    ASSERT_TRUE(WaitUntil([&] { return Listed(2) == nullptr && !Form->Controller().ScanRunning(); })) << c.name;
    EXPECT_NE(Listed(1), nullptr) << c.name;
    EXPECT_FALSE(Form->Controller().IsGone(Form->Controller().DeviceBySerial(1))) << c.name;
    Bus.Plug("q");
    Notify();
    WaitForScan(2);
  }
  EXPECT_TRUE(Logged(kNone + "Ошибка в драйвере"));
}

TEST_F(E2ETest, BusFileChangesReachTheWindowAsDeviceChanges) {
  const std::string busFile = Dir.filePath("bus.txt").toStdString();
  Bus.AttachFile(busFile);
  TMainFormSetup setup;
  setup.ProgramDir = Dir.path() + u'/';
  setup.SimBusPath = QString::fromStdString(busFile);
  setup.ShowMessage = [this](const QString& text) { Messages << text; };
  Form = std::make_unique<TMainForm>(std::move(setup));
  Form->show();
  WaitForScan(0);
  Bus.Add(Device("w", saFtdi, "77"));  // rewrites the bus file
  WaitForScan(1);
  Bus.Unplug("w");
  WaitForScan(0);
  Bus.AttachFile("");
}
