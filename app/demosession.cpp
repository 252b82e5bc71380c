#include "app/demosession.h"

namespace quillon {

namespace {

const DeviceSettings kDemoSettings{12345678,         {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x01},
                                   {10, 10, 10, 11}, {255, 255, 255, 0},
                                   {10, 10, 10, 1},  {10, 10, 10, 1},
                                   {0, 0, 0, 0}};

// Long enough to watch the bar move and try Abort.
constexpr std::chrono::seconds kDemoFormatTime(10);

constexpr int kDemoPort = 1;

} // namespace

DemoSession::DemoSession() : portMap_(PortMap::host(kDemoPort + 1))
{
    device_.setSettings(kDemoSettings);
    device_.setFormatTime(kDemoFormatTime);
    portMap_.setPort(kDemoPort, {QString::fromStdString(device_.devicePath()),
                                 QStringLiteral("Simulated Quillon (demo)"),
                                 {},
                                 {},
                                 {}});
}

} // namespace quillon
