// The simulated device seen from the tool's side of the pseudo-terminal, through plain POSIX
// calls: only what the end-to-end exchanges cannot show. Expected frames are written out by hand
// from the frame layout, not built by the protocol code.
#include "sim/simulatedquillon.h"

#include <QtTest>

#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace quillon;
using namespace std::chrono_literals;

namespace {

constexpr int kTimeoutMs = 5000;
const QByteArray kFormatRequest = QByteArray::fromHex("02 46 00 46 03");
const QByteArray kReserved(kReservedBytes, '\xAA');

// The tool's side, raw as the serial layer sets it: a cooked line would echo the replies back.
int OpenToolSide(const SimulatedQuillon &sim)
{
    const int fd = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios attributes{};
    tcgetattr(fd, &attributes);
    cfmakeraw(&attributes);
    return tcsetattr(fd, TCSANOW, &attributes) == 0 ? fd : -1;
}

// Sends bytes; returns, in hex, what arrives until `count` bytes are in or the line goes quiet.
QByteArray Exchange(int fd, const QByteArray &bytes, qsizetype count)
{
    QByteArray line = write(fd, bytes.data(), bytes.size()) == bytes.size() ? "" : "not sent";
    pollfd poller{fd, POLLIN, 0};
    char buffer[256];
    ssize_t n = 1;
    while (n > 0 && line.size() < count && poll(&poller, 1, kTimeoutMs) > 0) {
        n = read(fd, buffer, sizeof buffer);
        line.append(buffer, std::max<ssize_t>(n, 0));
    }
    return line.toHex(' ');
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimulatedQuillon> sim_;
    int fd_ = -1;

private slots:
    void init()
    {
        sim_ = std::make_unique<SimulatedQuillon>();
        fd_ = OpenToolSide(*sim_);
        QVERIFY(fd_ >= 0);
    }

    void cleanup()
    {
        close(fd_);
        sim_.reset();
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");
        // All fields 0: 82 + 100 = 182 (B6). Summing the reserved bytes too would give 32.
        QTest::newRow("read checksum leaves out reserved bytes")
            << QByteArray::fromHex("02 52 00 52 03")
            << QByteArray::fromHex("02 52 64") + QByteArray(30, '\0') + kReserved +
                   QByteArray::fromHex("B6 03");
        // A good request right behind a bad one shows the bad one got no answer, without
        // waiting for a silence.
        for (const auto &[name, bad] : {std::pair{"wrong checksum", "02 52 00 53 03"},
                                        {"unknown letter", "02 58 00 58 03"},
                                        {"wrong end byte", "02 52 00 52 04"},
                                        {"write without a record", "02 57 00 57 03"},
                                        {"cut off before its checksum", "02 52 00"},
                                        {"bytes outside a frame", "00 FF 03 52 46"}}) {
            QTest::newRow(name) << QByteArray::fromHex(bad) + kFormatRequest << kFormatRequest;
        }
    }

    void answers()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        sim_->setReservedBytes({kReserved.begin(), kReserved.end()});
        QCOMPARE(Exchange(fd_, sent, reply.size()), reply.toHex(' '));
    }

    // At line rate no reply may come sooner than the wire allows: the request's bytes, then the
    // reply's, at 86.8 microseconds each. Only the lower bound is checked; load only delays.
    void lineRateNeverBeatsTheWire_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("replyBytes");
        QTest::newRow("read, 5 + 105 bytes") << QByteArray::fromHex("02 52 00 52 03") << 105;
        QTest::newRow("format, 5 + 5 bytes") << kFormatRequest << 5;
    }

    void lineRateNeverBeatsTheWire()
    {
        QFETCH(QByteArray, sent);
        QFETCH(int, replyBytes);
        sim_->setPacing(SimulatedQuillon::Pacing::LineRate);
        const auto start = std::chrono::steady_clock::now();
        QCOMPARE(Exchange(fd_, sent, replyBytes).size(), replyBytes * 3 - 1);
        const auto wire = (sent.size() + replyBytes) * 86'800ns;
        QVERIFY(std::chrono::steady_clock::now() - start >= wire);
    }

    // The tool opens the port only for an exchange. A device that let the device side close
    // completely would see a hang-up on every poll from then on and spin.
    void staysIdleAfterToolClosesPort()
    {
        close(fd_);
        const std::clock_t cpuBefore = std::clock();
        QVERIFY(!sim_->waitForReceived(1, 500ms));
        // A spinning thread takes most of a core over half a second; an idle one next to none.
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 50, qPrintable(QString::number(cpuMs)));

        fd_ = OpenToolSide(*sim_);
        QCOMPARE(Exchange(fd_, kFormatRequest, 5), kFormatRequest.toHex(' '));
    }

    // Unplugged in the middle of a long format, the tool's port hangs up at once.
    void unplugHangsUpToolSide()
    {
        sim_->setFormatTime(1h);
        QCOMPARE(Exchange(fd_, kFormatRequest, 0), QByteArray());
        QVERIFY(sim_->waitForReceived(kFormatRequest.size(), 5s));
        sim_->unplug();

        pollfd poller{fd_, POLLIN, 0};
        QCOMPARE(poll(&poller, 1, kTimeoutMs), 1);
        QVERIFY(poller.revents & POLLHUP);
        QCOMPARE(OpenToolSide(*sim_), -1);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
