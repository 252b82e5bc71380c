#include "exchangedriver.h"

#include "link/exchange.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <time.h>

namespace quillon {

namespace {

constexpr int kDevicePort = 3;
// Far beyond the reply timeout, so only an exchange that would never end is cut off.
constexpr int kGiveUpMs = 5000;
// Rounds of posted events and window-system events handled before a posted click. A running
// window handles what the last exchange left queued (a layout request posted while its end was
// painted) long before the operator's next click.
constexpr int kDrainRounds = 3;

const DeviceSettings kDeviceSettings{12345678,         {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x01},
                                     {10, 10, 10, 11}, {255, 255, 255, 0},
                                     {10, 10, 10, 1},  {10, 10, 10, 1},
                                     {0, 0, 0, 0}};

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

ExchangeDriver::Stamp ExchangeDriver::Stamp::now()
{
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return {std::chrono::steady_clock::now(),
            static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6};
}

ExchangeDriver::ExchangeDriver()
{
    device_.setSettings(kDeviceSettings);
    PortMap map;
    map.setPort(kDevicePort, {QString::fromStdString(device_.devicePath()),
                              QStringLiteral("simulated Quillon"),
                              {},
                              {},
                              {}});
    window_ = std::make_unique<main_frm>(map);
    window_->installEventFilter(this);
    status_ = window_->findChild<QLabel *>(QStringLiteral("status"));
    status_->installEventFilter(this);
    // Connected after the exchange's own handler, so the first stamp lands just after the
    // start byte has been handled; that byte changes nothing in the window.
    connect(window_->exchange().findChild<MSComm *>(), &MSComm::OnComm, this,
            &ExchangeDriver::onCommEvent);
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get())) {
        qWarning("The window never became active; the figures may be off.");
    }
    pickDevicePort();
}

ExchangeDriver::~ExchangeDriver() = default;

void ExchangeDriver::pickDevicePort()
{
    auto *ports = window_->findChild<QComboBox *>(QStringLiteral("comports"));
    ports->setFocus();
    // The keys an operator would press; the box starts with no entry chosen.
    while (ports->currentText() != PortMap::comName(kDevicePort) &&
           ports->currentIndex() + 1 < ports->count()) {
        QTest::keyClick(ports, Qt::Key_Down);
    }
}

QPushButton *ExchangeDriver::button(Kind kind) const
{
    const char *name = kind == Kind::Read    ? "read_setup"
                       : kind == Kind::Write ? "write_setup"
                                             : "button_format_flash";
    return window_->findChild<QPushButton *>(QString::fromLatin1(name));
}

QString ExchangeDriver::expectedLog(Kind kind) const
{
    const QString label = kind == Kind::Read    ? QStringLiteral("Reading Setup")
                          : kind == Kind::Write ? QStringLiteral("Writing Setup")
                                                : QStringLiteral("Formatting Flash");
    return QStringLiteral("OpenCom: %1\r\n%2 (%3): -> OK\r\nCloseCom: %1\r\n")
        .arg(PortMap::comName(kDevicePort), label)
        .arg(window_->exchange().exchange_no());
}

void ExchangeDriver::onCommEvent()
{
    if (running_ != nullptr && !firstByte_) {
        firstByte_ = Stamp::now();
    }
}

bool ExchangeDriver::stampClosePaint(QObject *label, QEvent *paint)
{
    if (running_ == nullptr || closePainted_ ||
        !static_cast<QLabel *>(label)->text().endsWith(
            QStringLiteral("CloseCom: %1\r\n").arg(PortMap::comName(kDevicePort)))) {
        return false;
    }
    label->event(paint);
    closePainted_ = std::chrono::steady_clock::now();
    return true;
}

void ExchangeDriver::postClick(QPushButton *target)
{
    const QPointF at = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(at);
    QCoreApplication::postEvent(target,
                                new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(target,
                                new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

bool ExchangeDriver::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == status_ && event->type() == QEvent::Paint) {
        return stampClosePaint(watched, event);
    }
    // LeaveBusy restores the pointer first, right after CloseCom has painted its log line.
    if (watched == window_.get() && event->type() == QEvent::CursorChange && running_ != nullptr &&
        window_->cursor().shape() != Qt::WaitCursor) {
        end_ = Stamp::now();
        running_->quit();
    }
    return false;
}

ExchangeDriver::Result ExchangeDriver::run(Kind kind, Click click)
{
    QEventLoop loop;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, &loop, [this, &loop] {
        // Only a format can stay busy this long; Abort ends it.
        if (window_->exchange().busy()) {
            QTest::mouseClick(button(Kind::Format), Qt::LeftButton);
        }
        loop.quit();
    });
    if (kind == Kind::Format) {
        // The warning box is modal: answered from inside its own event loop.
        QTimer::singleShot(0, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                box->button(QMessageBox::Ok)->click();
            }
        });
    }
    firstByte_.reset();
    end_.reset();
    closePainted_.reset();
    running_ = &loop;

    if (click == Click::Posted) {
        for (int round = 0; round < kDrainRounds; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    const Stamp clicked = Stamp::now();
    if (click == Click::Posted) {
        postClick(button(kind));
    } else {
        QTest::mouseClick(button(kind), Qt::LeftButton);
    }
    if (!end_) {
        giveUp.start(kGiveUpMs);
        loop.exec();
    }
    // What the end path left to paint (the buttons it enabled) belongs to the reply too.
    QCoreApplication::processEvents();
    const Stamp idle = Stamp::now();
    running_ = nullptr;
    // The device records every byte it receives; a soak measures the window, not that record.
    device_.clearReceived();

    Result result;
    const QString log = window_->findChild<QLabel *>(QStringLiteral("status"))->text();
    result.ok = end_.has_value() && log == expectedLog(kind);
    result.clicked = clicked.wall;
    result.closePainted = closePainted_;
    if (end_) {
        result.totalMs = Ms(end_->wall - clicked.wall);
        result.totalCpuMs = end_->cpuMs - clicked.cpuMs;
    }
    if (firstByte_) {
        result.replyWallMs = Ms(idle.wall - firstByte_->wall);
        result.replyCpuMs = idle.cpuMs - firstByte_->cpuMs;
    }
    return result;
}

} // namespace quillon
