// Tables for the pure protocol code: request frames, box-text conversion and the reply parser.
// Every expected byte, sum and text below was worked out by hand or with a few throwaway lines
// of python3, never with the code under test.

#include "replyparser.h"
#include "setupframe.h"

#include <QtTest>

namespace quillon {

namespace {

// Splits "00*70 FF" into tokens, a token "x*n" standing for n copies of x.
QStringList Expand(const QString &list)
{
    QStringList tokens;
    for (const QString &token : list.split(' ', Qt::SkipEmptyParts)) {
        const qsizetype star = token.indexOf('*');
        const int count = star < 0 ? 1 : token.mid(star + 1).toInt();
        for (int i = 0; i < count; ++i) {
            tokens << token.left(star);
        }
    }
    return tokens;
}

Bytes Hex(const QString &list)
{
    Bytes bytes;
    for (const QString &token : Expand(list)) {
        bytes.push_back(static_cast<std::uint8_t>(token.toUInt(nullptr, 16)));
    }
    return bytes;
}

// Upper-case spaced hex, so a failing comparison shows the bytes.
QByteArray Spaced(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()))
        .toHex(' ')
        .toUpper();
}

BoxTexts<std::string> Texts(const QString &list)
{
    const QStringList tokens = Expand(list);
    BoxTexts<std::string> texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts[i] = tokens.value(i).toStdString();
    }
    return texts;
}

QString Name(Box box)
{
    const std::string_view name = BoxObjectName(box);
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

// The field a box feeds, mapped here independently of the conversion code.
qint64 FieldValue(const DeviceSettings &s, int box)
{
    if (box == 0) {
        return s.serialNumber;
    }
    if (box <= 6) {
        return s.mac[box - 1];
    }
    const std::array groups{&s.ipAddress, &s.subnetMask, &s.defaultGateway, &s.primaryDns,
                            &s.secondaryDns};
    return (*groups[(box - 7) / 4])[(box - 7) % 4];
}

// One table row; string literals become QString columns.
template <typename... Columns> void Row(const char *name, Columns... columns)
{
    (QTest::newRow(name) << ... << columns);
}

// What a stream of bytes made the parser report.
struct Trace
{
    QStringList updates;    // "box=text", in order
    QString outcomes;       // "index:Outcome" for each outcome, index counted from the last reset
    bool consistent = true; // rx_pos stayed a legal state; no box came with an outcome
};

// Feeds hex bytes one at a time; a token "|" resets the parser as the end of an exchange does.
Trace Feed(ReplyParser &parser, const QString &list)
{
    Trace trace;
    int index = 0;
    for (const QString &token : Expand(list)) {
        if (token == "|") {
            parser.Reset();
            index = 0;
            continue;
        }
        const ReplyStep step =
            parser.ParseReplyByte(static_cast<std::uint8_t>(token.toUInt(nullptr, 16)));
        if (step.box) {
            trace.updates << Name(*step.box) + '=' + QString::fromStdString(step.text);
        }
        if (step.outcome != ReplyOutcome::None) {
            const char *what = step.outcome == ReplyOutcome::Ok ? "Ok" : "ChecksumError";
            trace.outcomes +=
                QString("%1%2:%3").arg(trace.outcomes.isEmpty() ? "" : " ").arg(index).arg(what);
            trace.consistent = trace.consistent && !step.box;
        }
        const int pos = parser.rx_pos;
        trace.consistent =
            trace.consistent && ((pos >= 0 && pos <= 102) || (pos >= 253 && pos <= 255));
        ++index;
    }
    return trace;
}

// Serial number 12345678, MAC 00 1A 2B 3C 4D 5E, IP 192.168.0.100, mask 255.255.255.0,
// gateway and primary DNS 192.168.0.1, secondary DNS 0.0.0.0.
const QString kExampleFields = "00 BC 61 4E 00 1A 2B 3C 4D 5E C0 A8 00 64 FF FF FF 00 "
                               "C0 A8 00 01 C0 A8 00 01 00 00 00 00";
const QString kExampleRecord = kExampleFields + " 00*70";
const QString kExampleTexts =
    "12345678 00 1A 2B 3C 4D 5E 192 168 0 100 255 255 255 0 192 168 0 1 192 168 0 1 0 0 0 0";
const QString kExampleReply = "02 52 64 " + kExampleRecord + " E8 03";
const QString kExampleUpdates =
    "serialno=0 serialno=12320768 serialno=12345600 serialno=12345678 "
    "macadr1=00 macadr2=1A macadr3=2B macadr4=3C macadr5=4D macadr6=5E "
    "ipadr1=192 ipadr2=168 ipadr3=0 ipadr4=100 "
    "subnetmask1=255 subnetmask2=255 subnetmask3=255 subnetmask4=0 "
    "defgateway1=192 defgateway2=168 defgateway3=0 defgateway4=1 "
    "primdns1=192 primdns2=168 primdns3=0 primdns4=1 secdns1=0 secdns2=0 secdns3=0 secdns4=0";

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void setupFrame_data();
    void setupFrame();
    void requests_data();
    void requests();
    void settingsFromTexts_data();
    void settingsFromTexts();
    void replyOutcomes_data();
    void replyOutcomes();
    void replyTexts_data();
    void replyTexts();
    void resetRecovers_data();
    void resetRecovers();
};

void TestProtocol::setupFrame_data()
{
    QTest::addColumn<QString>("texts");
    QTest::addColumn<QString>("frame");
    // 87 + 100 + record: example 2797 (ED), zeros 187 (BB), maximum 7709 (1D).
    Row("example", kExampleTexts, "02 57 64 " + kExampleRecord + " ED 03");
    Row("all zero", "0 00*6 0*20", "02 57 64 00*100 BB 03");
    Row("maximum", "2147483647 FF*6 255*20", "02 57 64 7F FF*29 00*70 1D 03");
    Row("serial byte order", "16909060 00*6 0*20", "02 57 64 01 02 03 04 00*96 C5 03");
    Row("serial low byte", "255 00*6 0*20", "02 57 64 00 00 00 FF 00*96 BA 03");
}

void TestProtocol::setupFrame()
{
    QFETCH(QString, texts);
    QFETCH(QString, frame);
    const SettingsFromTextsResult result = SettingsFromTexts(Texts(texts));
    QVERIFY(result.settings);
    QCOMPARE(Spaced(BuildSetupFrame(*result.settings)), Spaced(Hex(frame)));
    QCOMPARE(Spaced(BuildFrame(kWriteLetter, SetupRecord(*result.settings))), Spaced(Hex(frame)));
    // These texts are in the form a read reply writes, so they come back unchanged.
    QVERIFY(TextsFromSettings(*result.settings) == Texts(texts));
}

void TestProtocol::requests_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("frame");
    Row("read", "R", "", "02 52 00 52 03");
    Row("format", "F", "", "02 46 00 46 03");
    // 87 + 2 + 2 + 3 = 94 (5E); frames are never escaped.
    Row("2 and 3 in payload", "W", "02 03", "02 57 02 02 03 5E 03");
}

void TestProtocol::requests()
{
    QFETCH(QString, letter);
    QFETCH(QString, payload);
    QFETCH(QString, frame);
    QCOMPARE(Spaced(BuildFrame(letter.at(0).toLatin1(), Hex(payload))), Spaced(Hex(frame)));
}

void TestProtocol::settingsFromTexts_data()
{
    // Edits to an all-"0" set of texts; the result is the first edited box's value, or the
    // first box in wire order without one and why.
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("expected");
    Row("mac lower", "macadr1=ff", "255");
    Row("mac mixed", "macadr6=Ff", "255");
    Row("mac one digit", "macadr3=A", "10");
    Row("mac empty", "macadr3=", "0");
    Row("mac stops at G", "macadr3=1G", "1");
    Row("mac no leading digit", "macadr3=G1", "0");
    Row("mac 0x prefix", "macadr3=0x1F", "0");
    Row("mac blanks", "macadr4= 1 F", "31");
    Row("mac tab, line feed", "macadr4=\t0\nA ", "10");
    Row("mac leading zeros", "macadr5=0000000000FF", "255");
    Row("mac 256", "macadr5=100", "macadr5 OutOfRange");
    Row("mac blanks join digits", "macadr5=F F F", "macadr5 OutOfRange");
    Row("mac 100000000", "macadr5=100000000", "macadr5 OutOfRange");
    Row("mac 20 F", "macadr6=FFFFFFFFFFFFFFFFFFFF", "macadr6 OutOfRange");
    Row("mac 2^64", "macadr6=10000000000000000", "macadr6 OutOfRange"); // wraps 64 bits to 0
    Row("octet 000", "ipadr1=000", "0");
    Row("octet 255", "subnetmask4=255", "255");
    Row("octet leading zeros", "secdns4=0000000255", "255");
    Row("octet 256", "defgateway3=256", "defgateway3 OutOfRange");
    Row("octet 2^64", "primdns1=18446744073709551616", "primdns1 OutOfRange");
    Row("octet empty", "ipadr4=", "ipadr4 NoValue");
    Row("octet minus", "ipadr4=-1", "ipadr4 NoValue");
    Row("octet plus", "ipadr4=+1", "ipadr4 NoValue");
    Row("octet point", "ipadr4=1.0", "ipadr4 NoValue");
    Row("octet blank", "ipadr4= 1", "ipadr4 NoValue");
    Row("octet hex", "ipadr4=1a", "ipadr4 NoValue");
    Row("serial max", "serialno=2147483647", "2147483647");
    Row("serial leading zeros", "serialno=000000000000000001", "1");
    Row("serial 2^31", "serialno=2147483648", "serialno OutOfRange");
    Row("serial 2^32", "serialno=4294967296", "serialno OutOfRange");
    Row("serial ten nines", "serialno=9999999999", "serialno OutOfRange");
    Row("serial empty", "serialno=", "serialno NoValue");
    Row("serial separator", "serialno=12 345", "serialno NoValue");
    // Several bad boxes: the first in wire order is named, not the first edited.
    Row("serial before mac", "macadr1=100;serialno=x", "serialno NoValue");
    Row("mac before octets", "ipadr1=;macadr6=1FF", "macadr6 OutOfRange");
    Row("earlier group", "secdns1=-1;defgateway4=300;primdns2=", "defgateway4 OutOfRange");
    Row("within a group", "subnetmask3=;subnetmask2=999", "subnetmask2 OutOfRange");
    Row("mac text always valid", "macadr2=zz;ipadr4=", "ipadr4 NoValue");
}

void TestProtocol::settingsFromTexts()
{
    QFETCH(QString, edits);
    QFETCH(QString, expected);
    BoxTexts<std::string> texts = Texts("0*27");
    int first = -1;
    for (const QString &edit : edits.split(';')) {
        const qsizetype equals = edit.indexOf('=');
        int box = 0;
        while (box < kBoxCount && Name(BoxAt(box)) != edit.left(equals)) {
            ++box;
        }
        QVERIFY(box < kBoxCount);
        texts[box] = edit.mid(equals + 1).toStdString();
        first = first < 0 ? box : first;
    }
    const SettingsFromTextsResult result = SettingsFromTexts(texts);
    const QString actual =
        result.settings ? QString::number(FieldValue(*result.settings, first))
                        : Name(result.box) + ' ' +
                              (result.fault == SettingsFault::NoValue ? "NoValue" : "OutOfRange");
    QCOMPARE(actual, expected);
}

void TestProtocol::replyOutcomes_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("outcomes");
    QTest::addColumn<int>("updates");
    QTest::addColumn<int>("sum");
    Row("write reply", "02 57 00 57 03", "4:Ok", 0, 87);
    Row("format reply", "02 46 00 46 03", "4:Ok", 0, 70);
    Row("wrong checksum ends at once", "02 57 00 58", "3:ChecksumError", 0, 87);
    Row("no end byte", "02 57 00 57", "", 0, 87);
    Row("noise first", "00 FF 03 57 52 64 02 57 00 57 03", "10:Ok", 0, 87);
    Row("stray byte before 0 length", "02 57 05 00 57 03", "5:Ok", 0, 87);
    // 88 + 87 = 175 (AF): an unknown letter is summed while the parser waits.
    Row("unknown letter summed", "02 58 57 00 AF 03", "5:Ok", 0, 175);
    // 189 + 70 = 259 and 188 + 70 = 258: checksums that look like end and start bytes.
    Row("checksum 3", "02 BD 46 00 03 03", "5:Ok", 0, 259);
    Row("checksum 2", "02 BC 46 00 02 03", "5:Ok", 0, 258);
    Row("only 3 ends", "02 57 00 57 00 02 57 FF 03", "8:Ok", 0, 87);
    Row("read reply", kExampleReply, "104:Ok", 30, 2792);
    Row("read reply, wrong checksum", "02 52 64 " + kExampleRecord + " E9", "103:ChecksumError", 30,
        2792);
    // 2792 + 7 = 2799 (EF): a stray byte before the length 100 is summed.
    Row("stray length summed", "02 52 07 64 " + kExampleRecord + " EF 03", "105:Ok", 30, 2799);
    Row("stray length left out", "02 52 07 64 " + kExampleRecord + " E8", "104:ChecksumError", 30,
        2799);
    Row("reserved bytes not summed", "02 52 64 " + kExampleFields + " 02 03 FF 80 01*66 E8 03",
        "104:Ok", 30, 2792);
    // Record 02 03 02 03, 03 02 03 02 03 02, (02 03) x 10: 182 + 75 = 257 (01).
    Row("2 and 3 as data",
        "02 52 64 02 03 02 03 03 02 03 02 03 02 "
        "02 03 02 03 02 03 02 03 02 03 02 03 02 03 02 03 02 03 02 03 "
        "03 02 03 00*67 01 03",
        "104:Ok", 30, 257);
    Row("truncated read reply", "02 52 64 00 BC 61 4E 00 1A 2B 3C 4D 5E C0 A8 00 64 FF FF FF", "",
        17, 2070);
}

void TestProtocol::replyOutcomes()
{
    QFETCH(QString, bytes);
    QFETCH(QString, outcomes);
    QFETCH(int, updates);
    QFETCH(int, sum);
    ReplyParser parser;
    const Trace trace = Feed(parser, bytes);
    QVERIFY(trace.consistent);
    QCOMPARE(trace.outcomes, outcomes);
    QCOMPARE(int(trace.updates.size()), updates);
    QCOMPARE(parser.rx_sum, sum);
}

void TestProtocol::replyTexts_data()
{
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("updates");
    Row("example", kExampleReply, kExampleUpdates);
    const QString largest = "serialno=4278190080 serialno=4294901760 serialno=4294967040 "
                            "serialno=4294967295";
    Row("largest serial", "02 52 64 FF FF FF FF", largest);
    Row("eight digits", "02 52 64 05 F5 E0 FF",
        "serialno=83886080 serialno=99942400 serialno=99999744 serialno=99999999");
    Row("serial restarts", "02 52 64 FF FF FF FF | 02 52 64 00 00 00 01",
        largest + " serialno=0 serialno=0 serialno=0 serialno=1");
    Row("text forms", "02 52 64 00 00 00 00 0A 00 FF AB 1A 09 00 FF 07 64",
        "serialno=0 serialno=0 serialno=0 serialno=0 macadr1=0A macadr2=00 macadr3=FF "
        "macadr4=AB macadr5=1A macadr6=09 ipadr1=0 ipadr2=255 ipadr3=7 ipadr4=100");
    Row("2 and 3 as data", "02 52 64 02 03 02 03 03 02",
        "serialno=33554432 serialno=33751040 serialno=33751552 serialno=33751555 macadr1=03 "
        "macadr2=02");
    Row("short replies", "02 57 00 57 03 | 02 46 00 46 03", "");
}

void TestProtocol::replyTexts()
{
    QFETCH(QString, bytes);
    QFETCH(QString, updates);
    ReplyParser parser;
    const Trace trace = Feed(parser, bytes);
    QVERIFY(trace.consistent);
    QCOMPARE(trace.updates.join(' '), updates);
}

void TestProtocol::resetRecovers_data()
{
    // Whatever state the last exchange left behind, a reset makes the next reply parse cleanly.
    QTest::addColumn<QString>("before");
    Row("waiting for a letter", "02 41");
    Row("waiting for the length", "02 52 FF");
    Row("inside the record", "02 52 64 12 34 56 78 9A");
    Row("inside the reserved bytes", "02 52 64 " + kExampleFields + " 00*10");
    Row("after a checksum error", "02 57 00 58");
    Row("after a good reply", kExampleReply);
    Row("noise and half a reply", "FF 02 03 02 52 64 02 03");
}

void TestProtocol::resetRecovers()
{
    QFETCH(QString, before);
    ReplyParser parser;
    QVERIFY(Feed(parser, before).consistent);
    const Trace trace = Feed(parser, "| " + kExampleReply);
    QVERIFY(trace.consistent);
    QCOMPARE(trace.outcomes, QString("104:Ok"));
    QCOMPARE(trace.updates.join(' '), kExampleUpdates);
    QCOMPARE(parser.rx_sum, 2792);
}

} // namespace quillon

QTEST_APPLESS_MAIN(quillon::TestProtocol)
#include "tst_protocol.moc"
