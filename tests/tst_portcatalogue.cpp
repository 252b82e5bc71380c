// The port catalogue's pure parts: the order of host devices and what the operator is told
// about a device that cannot be opened. Runs under LANG=C, where a collator loses numeric order.

#include "link/portadvice.h"
#include "link/portmap.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

class tst_PortCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void naturalOrder_data()
    {
        QTest::addColumn<QStringList>("paths"); // in the order wanted
        QTest::newRow("digit counts")
            << QStringList{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyUSB100"};
        QTest::newRow("prefixes") << QStringList{
            "/dev/ttyACM0", "/dev/ttyACM11", "/dev/ttyS0",    "/dev/ttyS2",   "/dev/ttyS10",
            "/dev/ttyUSB0", "/dev/ttyUSB9",  "/dev/ttyUSB10", "/dev/ttymxc1", "/dev/ttymxc12"};
        // Upper case sorts before lower case byte by byte, whatever a locale would say.
        QTest::newRow("bytes, not letters")
            << QStringList{"/dev/ttyS3", "/dev/ttyUSB1", "/dev/ttyb1"};
        QTest::newRow("leading zeros") << QStringList{"/dev/ttyS01", "/dev/ttyS1", "/dev/ttyS2"};
        QTest::newRow("more than 64 bits")
            << QStringList{"/dev/ttyS99999999999999999999", "/dev/ttyS100000000000000000000"};
        QTest::newRow("digits inside")
            << QStringList{"/dev/serial/by-id/usb-2-port0", "/dev/serial/by-id/usb-10-port0"};
    }

    void naturalOrder()
    {
        QFETCH(QStringList, paths);
        QVERIFY2(qgetenv("LANG") == "C", "runs under LANG=C, as ctest starts it");
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QVERIFY2(!NaturalPathLess(paths[i], paths[i]), qPrintable(paths[i]));
            for (qsizetype j = i + 1; j < paths.size(); ++j) {
                QVERIFY2(NaturalPathLess(paths[i], paths[j]),
                         qPrintable(paths[i] + " < " + paths[j]));
                QVERIFY2(!NaturalPathLess(paths[j], paths[i]),
                         qPrintable(paths[j] + " > " + paths[i]));
            }
        }
    }

    void permissionAdvice_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<uint>("gid");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QString>("advice");
        const QString admin =
            "an administrator must grant access to /dev/ttyUSB0 (for example with a "
            "udev rule)";
        QTest::newRow("crw-rw---- root:dialout")
            << "dialout" << 20u << 0660u << "add your user to the dialout group";
        QTest::newRow("crw-rw-r-- root:uucp")
            << "uucp" << 14u << 0664u << "add your user to the uucp group";
        QTest::newRow("crw-r----- root:dialout") << "dialout" << 20u << 0640u << admin;
        QTest::newRow("crw--w---- root:tty") << "tty" << 5u << 0620u << admin;
        QTest::newRow("crw------- root:root") << "root" << 0u << 0600u << admin;
        QTest::newRow("crw-rw---- root:root: never the root group")
            << "root" << 0u << 0660u << admin;
        QTest::newRow("group without a name") << "" << 4242u << 0660u << admin;
    }

    void permissionAdvice()
    {
        QFETCH(QString, group);
        QFETCH(uint, gid);
        QFETCH(uint, mode);
        QFETCH(QString, advice);
        QCOMPARE(PermissionAdvice("/dev/ttyUSB0", {group, gid, mode}), advice);
    }

    void unusablePortsText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        // Every kind of reason, then the limit of eight lines; no device at all is a window test.
        QString eight = "No serial port could be opened:\n"
                        "no permission to open /dev/ttyS0; add your user to the dialout group\n"
                        "/dev/ttyS1 is in use by another program\n"
                        "/dev/ttyS2 cannot be opened: Input/output error\n"
                        "/dev/ttyS3 is locked by /run/lock/LCK..ttyS3, left by a program that "
                        "has ended; its owner or an administrator must remove that file";
        for (int i = 4; i < 8; ++i) {
            eight += QString("\n/dev/ttyS%1 does not exist").arg(i);
        }
        QTest::newRow("eight") << 8 << eight;
        QTest::newRow("ten") << 10 << eight + "\nand 2 more";
    }

    void unusablePortsText()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QList<UnusablePort> ports;
        for (int i = 0; i < count; ++i) {
            OpenFailure failure;
            failure.kind = i == 0   ? OpenFailure::Kind::NoPermission
                           : i == 1 ? OpenFailure::Kind::InUse
                           : i == 2 ? OpenFailure::Kind::Other
                           : i == 3 ? OpenFailure::Kind::StaleLock
                                    : OpenFailure::Kind::DoesNotExist;
            failure.advice = "add your user to the dialout group";
            failure.detail = "Input/output error";
            failure.lockFile = "/run/lock/LCK..ttyS3";
            ports.append({QString("/dev/ttyS%1").arg(i), failure});
        }
        QCOMPARE(UnusablePortsText(ports), text);
    }

    // Only a lock whose program has ended is stale; a running owner holds the port for real.
    void staleLockFile()
    {
        QTemporaryDir empty, locks;
        QProcess ended;
        ended.start("true", {});
        QVERIFY(ended.waitForStarted());
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        const QString path = locks.filePath("LCK..ttyUSB0");
        const auto writeLock = [&](qint64 pid) {
            QFile lock(path);
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(QByteArray::number(pid) + "\nquillon\nhost\n");
        };
        const QStringList dirs{empty.path(), locks.path()};

        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), QString());
        writeLock(QCoreApplication::applicationPid());
        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), QString());
        writeLock(endedPid);
        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), path);
        QCOMPARE(StaleLockFile("/dev/ttyUSB1", dirs), QString());
    }
};

QTEST_MAIN(tst_PortCatalogue)
#include "tst_portcatalogue.moc"
