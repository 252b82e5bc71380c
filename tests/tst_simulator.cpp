// The simulated device seen from the tool's side of the pseudo-terminal, through plain POSIX
// calls. Expected frames are written out by hand from the frame layout, not built by the
// protocol code.
#include "simulatedquillon.h"

#include <QElapsedTimer>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace quillon;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(quillon::DeviceSettings)
Q_DECLARE_METATYPE(quillon::SimulatedQuillon::ReplyFault)
Q_DECLARE_METATYPE(quillon::SimulatedQuillon::Pacing)

namespace {

constexpr int kReplyTimeoutMs = 5000;
const QByteArray kReadRequest = QByteArray::fromHex("02 52 00 52 03");
const QByteArray kFormatRequest = QByteArray::fromHex("02 46 00 46 03");
// Serial number 12345678, MAC 00 1A 2B 3C 4D 5E, IP 192.168.0.100, mask 255.255.255.0,
// gateway and primary DNS 192.168.0.1, secondary DNS 0.0.0.0.
const QByteArray kExampleFields =
    QByteArray::fromHex("00 BC 61 4E 00 1A 2B 3C 4D 5E C0 A8 00 64 FF FF FF 00"
                        "C0 A8 00 01 C0 A8 00 01 00 00 00 00");

DeviceSettings ExampleSettings()
{
    return {12345678,           {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
            {192, 168, 0, 100}, {255, 255, 255, 0},
            {192, 168, 0, 1},   {192, 168, 0, 1},
            {0, 0, 0, 0}};
}

Bytes ToBytes(const QByteArray &data)
{
    return {data.begin(), data.end()};
}

QByteArray FromBytes(const Bytes &bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

QByteArray Frame(const char *head, const QByteArray &reserved, const char *tail)
{
    return QByteArray::fromHex(head) + kExampleFields + reserved + QByteArray::fromHex(tail);
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return t.tv_sec + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answersRequests_data();
    void answersRequests();
    void ignoresBadRequests_data();
    void ignoresBadRequests();
    void shapesReplies_data();
    void shapesReplies();
    void formatWaitsAndStaysInterruptible();
    void passesAllByteValues();
    void staysIdleAfterToolClosesPort();
    void unplugHangsUpToolSide();

private:
    int openDevice() const;
    void send(const QByteArray &bytes) const;
    QByteArray readLine(qsizetype count) const;

    std::unique_ptr<SimulatedQuillon> sim_;
    int fd_ = -1;
};

int TestSimulator::openDevice() const
{
    const int fd = open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios attributes{};
    if (fd >= 0 && tcgetattr(fd, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(fd, TCSANOW, &attributes);
    }
    return fd;
}

void TestSimulator::send(const QByteArray &bytes) const
{
    QCOMPARE(write(fd_, bytes.data(), bytes.size()), bytes.size());
}

// What arrives until `count` bytes are in or the reply timeout runs out.
QByteArray TestSimulator::readLine(qsizetype count) const
{
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (line.size() < count && !timer.hasExpired(kReplyTimeoutMs)) {
        pollfd fd{fd_, POLLIN, 0};
        char buffer[256];
        if (poll(&fd, 1, static_cast<int>(kReplyTimeoutMs - timer.elapsed())) > 0) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            line.append(buffer, n);
        }
    }
    return line;
}

void TestSimulator::init()
{
    sim_ = std::make_unique<SimulatedQuillon>();
    fd_ = openDevice();
    QVERIFY(fd_ >= 0);
}

void TestSimulator::cleanup()
{
    close(fd_);
    sim_.reset();
}

void TestSimulator::answersRequests_data()
{
    QTest::addColumn<DeviceSettings>("given");
    QTest::addColumn<QByteArray>("givenReserved");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<DeviceSettings>("stored");
    QTest::addColumn<QByteArray>("storedReserved");

    const DeviceSettings example = ExampleSettings();
    const QByteArray zeros(kReservedBytes, '\0');
    const QByteArray ones(kReservedBytes, '\x01');
    const QByteArray high(kReservedBytes, '\xAA');
    const QByteArray shortReply = QByteArray::fromHex("02 57 00 57 03");
    // 82 + 100 + the 30 field bytes = 2792 = E8; the reserved bytes never count.
    QTest::newRow("read") << example << zeros << kReadRequest << Frame("02 52 64", zeros, "E8 03")
                          << example << zeros;
    QTest::newRow("read, reserved bytes set")
        << example << high << kReadRequest << Frame("02 52 64", high, "E8 03") << example << high;
    // 87 + 100 + 2610 = 2797 = ED; with seventy 01 bytes 2867 = 33.
    QTest::newRow("write") << DeviceSettings{} << high << Frame("02 57 64", zeros, "ED 03")
                           << shortReply << example << zeros;
    QTest::newRow("write with reserved bytes")
        << DeviceSettings{} << zeros << Frame("02 57 64", ones, "33 03") << shortReply << example
        << ones;
    QTest::newRow("format") << example << high << kFormatRequest << kFormatRequest << example
                            << high;
}

void TestSimulator::answersRequests()
{
    QFETCH(DeviceSettings, given);
    QFETCH(QByteArray, givenReserved);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(DeviceSettings, stored);
    QFETCH(QByteArray, storedReserved);

    sim_->setSettings(given);
    sim_->setReservedBytes(ToBytes(givenReserved));
    send(request);
    QCOMPARE(readLine(reply.size()).toHex(' '), reply.toHex(' '));
    QCOMPARE(FromBytes(sim_->received()), request);
    QCOMPARE(sim_->settings(), stored);
    QCOMPARE(FromBytes(sim_->reservedBytes()), storedReserved);
}

void TestSimulator::ignoresBadRequests_data()
{
    QTest::addColumn<QByteArray>("bad");

    QTest::newRow("wrong checksum") << QByteArray::fromHex("02 52 00 53 03");
    QTest::newRow("unknown letter") << QByteArray::fromHex("02 58 00 58 03");
    QTest::newRow("wrong end byte") << QByteArray::fromHex("02 52 00 52 04");
    QTest::newRow("write without a record") << QByteArray::fromHex("02 57 00 57 03");
    QTest::newRow("cut off before its checksum") << QByteArray::fromHex("02 52 00");
    QTest::newRow("bytes outside a frame") << QByteArray::fromHex("00 FF 03 52 46");
}

// A good request right behind the bad one shows the bad one got no answer, without waiting for
// a silence.
void TestSimulator::ignoresBadRequests()
{
    QFETCH(QByteArray, bad);

    send(bad + kFormatRequest);
    QCOMPARE(readLine(kFormatRequest.size()), kFormatRequest);
    QCOMPARE(FromBytes(sim_->received()), bad + kFormatRequest);
    QCOMPARE(sim_->requestsHandled(), 1);
}

void TestSimulator::shapesReplies_data()
{
    using Fault = SimulatedQuillon::ReplyFault;
    using Pacing = SimulatedQuillon::Pacing;
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Pacing>("pacing");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("inside");
    QTest::addColumn<int>("insideAt");
    QTest::addColumn<QByteArray>("line");

    const QByteArray none;
    const QByteArray noise = QByteArray::fromHex("FF 02");
    const QByteArray twice = QByteArray::fromHex("02 46 00 46 03 02 46 00 46 03");
    QTest::newRow("no reply") << Fault::NoReply << Pacing::Burst << noise << noise << 2 << none;
    QTest::newRow("wrong checksum") << Fault::WrongChecksum << Pacing::Burst << none << none << 0
                                    << QByteArray::fromHex("02 46 00 47 03");
    QTest::newRow("cut short") << Fault::CutShort << Pacing::Burst << none << none << 0
                               << QByteArray::fromHex("02 46 00");
    QTest::newRow("sent twice") << Fault::SendTwice << Pacing::Burst << none << none << 0 << twice;
    QTest::newRow("noise before and inside")
        << Fault::None << Pacing::Burst << noise << QByteArray::fromHex("03") << 2
        << QByteArray::fromHex("FF 02 02 46 03 00 46 03");
    QTest::newRow("noise before each copy")
        << Fault::SendTwice << Pacing::Burst << noise << none << 0
        << QByteArray::fromHex("FF 02 02 46 00 46 03 FF 02 02 46 00 46 03");
    QTest::newRow("byte gaps") << Fault::SendTwice << Pacing::ByteGaps << none << none << 0
                               << twice;
    QTest::newRow("line rate") << Fault::None << Pacing::LineRate << noise << none << 0
                               << noise + kFormatRequest;
}

void TestSimulator::shapesReplies()
{
    QFETCH(SimulatedQuillon::ReplyFault, fault);
    QFETCH(SimulatedQuillon::Pacing, pacing);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, inside);
    QFETCH(int, insideAt);
    QFETCH(QByteArray, line);

    sim_->setReplyFault(fault);
    sim_->setPacing(pacing);
    sim_->setNoise(ToBytes(before), ToBytes(inside), static_cast<std::size_t>(insideAt));
    send(kFormatRequest);
    QCOMPARE(readLine(line.size()).toHex(' '), line.toHex(' '));

    // A clean reply to a second request must come next: nothing more of the first one follows.
    QTRY_COMPARE(sim_->requestsHandled(), 1);
    sim_->setReplyFault(SimulatedQuillon::ReplyFault::None);
    sim_->setNoise({});
    sim_->setSettings(ExampleSettings());
    send(kReadRequest);
    const QByteArray clean = Frame("02 52 64", QByteArray(kReservedBytes, '\0'), "E8 03");
    QCOMPARE(readLine(clean.size()).toHex(' '), clean.toHex(' '));
}

void TestSimulator::formatWaitsAndStaysInterruptible()
{
    constexpr auto formatTime = 150ms;
    sim_->setFormatTime(formatTime);
    QElapsedTimer timer;
    timer.start();
    send(kFormatRequest);
    QCOMPARE(readLine(kFormatRequest.size()), kFormatRequest);
    QVERIFY(timer.elapsed() >= formatTime.count());

    sim_->setFormatTime(1h);
    send(kFormatRequest + kReadRequest);
    QVERIFY(sim_->waitForReceived(3 * kFormatRequest.size(), 5s));
    timer.restart();
    sim_.reset();
    QVERIFY2(timer.elapsed() < 10'000, "destruction waited for the format to finish");
}

void TestSimulator::passesAllByteValues()
{
    QByteArray all;
    for (int value = 0; value < 256; ++value) {
        all.append(static_cast<char>(value));
    }
    send(all);
    QVERIFY(sim_->waitForReceived(all.size(), 5s));
    QCOMPARE(FromBytes(sim_->received()).toHex(' '), all.toHex(' '));

    sim_->sendRaw(ToBytes(all));
    QCOMPARE(readLine(all.size()).toHex(' '), all.toHex(' '));
}

// The tool opens the port only for an exchange. A device that let the device side close
// completely would see a hang-up on every poll from then on and spin.
void TestSimulator::staysIdleAfterToolClosesPort()
{
    for (int i = 0; i < 10; ++i) {
        close(fd_);
        fd_ = openDevice();
        QVERIFY(fd_ >= 0);
    }
    close(fd_);
    fd_ = -1;

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = CpuSeconds();
    QVERIFY(!sim_->waitForReceived(1, 500ms));
    const double cpu = CpuSeconds() - cpuBefore;
    // A spinning thread takes most of a core; an idle one next to nothing.
    QVERIFY2(cpu < 0.1 * wall.elapsed() / 1000.0, qPrintable(QString::number(cpu)));

    fd_ = openDevice();
    send(kFormatRequest);
    QCOMPARE(readLine(kFormatRequest.size()), kFormatRequest);
}

void TestSimulator::unplugHangsUpToolSide()
{
    sim_->setFormatTime(1h);
    send(kFormatRequest);
    QVERIFY(sim_->waitForReceived(kFormatRequest.size(), 5s));
    sim_->unplug();

    pollfd fd{fd_, POLLIN, 0};
    QCOMPARE(poll(&fd, 1, kReplyTimeoutMs), 1);
    QVERIFY(fd.revents & POLLHUP);
    char byte = 0;
    const ssize_t n = read(fd_, &byte, 1);
    QVERIFY(n == 0 || (n < 0 && errno == EIO));
    QCOMPARE(openDevice(), -1);

    sim_->sendRaw(ToBytes(kFormatRequest));
    QCOMPARE(sim_->requestsHandled(), 0);
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
