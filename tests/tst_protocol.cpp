// Tables for the pure protocol code: the setup frame, box-text conversion and the reply parser.
// Every expected byte, sum and text below was worked out by hand or with a few throwaway lines
// of python3, never with the code under test.

#include "expected.h"
#include "protocol/replyparser.h"
#include "protocol/settingstexts.h"
#include "protocol/setupframe.h"

#include <QtTest>

namespace quillon {

using test::BoxObjectName;
using test::Row;

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

BoxTexts<std::string> Texts(const QString &list)
{
    const QStringList tokens = Expand(list);
    BoxTexts<std::string> texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts[i] = tokens.value(i).toStdString();
    }
    return texts;
}

// Feeds hex bytes one at a time; a token "|" resets the parser as the end of an exchange does.
// Returns the box updates ("box=text") and outcomes ("index:Outcome", the index counted from the
// last reset) in order, or why the parser left its legal states (rx_pos 0 to 102 and 253 to 255)
// or named a box together with an outcome.
QString Feed(const QString &list)
{
    ReplyParser parser;
    QStringList events;
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
            events << BoxObjectName(*step.box) + '=' + QString::fromStdString(step.text);
        }
        if (step.outcome != ReplyOutcome::None) {
            events << QString::number(index) +
                          (step.outcome == ReplyOutcome::Ok ? ":Ok" : ":ChecksumError");
        }
        const int pos = parser.rx_pos;
        if ((pos > 102 && pos < 253) || pos < 0 || pos > 255 ||
            (step.box && step.outcome != ReplyOutcome::None)) {
            return QString("inconsistent at byte %1").arg(index);
        }
        ++index;
    }
    return events.join(' ');
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
    void setupFrame_data()
    {
        // The 27 box texts, in the form a read reply writes them.
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("frame");
        // 87 + 100 + record: example 2797 (ED), zeros 187 (BB), maximum 7709 (1D).
        Row("example", kExampleTexts, "02 57 64 " + kExampleRecord + " ED 03");
        Row("all zero", "0 00*6 0*20", "02 57 64 00*100 BB 03");
        Row("maximum", "2147483647 FF*6 255*20", "02 57 64 7F FF*29 00*70 1D 03");
        // 87 + 100 + 75 = 262 (06): frames are never escaped.
        Row("2 and 3 as data", "33751555 03 02 03 02 03 02 2*10 3*10",
            "02 57 64 02 03 02 03 03 02 03 02 03 02 02*10 03*10 00*70 06 03");
    }

    void setupFrame()
    {
        QFETCH(QString, texts);
        QFETCH(QString, frame);
        const SettingsFromTextsResult result = SettingsFromTexts(Texts(texts));
        QVERIFY(result.settings);
        // Upper-case spaced hex, the form the table writes bytes in, so a failure shows them.
        QCOMPARE(test::ToBytes(BuildSetupFrame(*result.settings)).toHex(' ').toUpper(),
                 Expand(frame).join(' '));
        QVERIFY(TextsFromSettings(*result.settings) == Texts(texts));
    }

    void settingsFromTexts_data()
    {
        // Edits to an all-"0" set of texts; the result is the first edited box's text as a read
        // reply would show its value, or the first box in wire order without a value and why.
        // Nothing is ever clamped or wrapped.
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("expected");
        Row("mac mixed case", "macadr6=fF", "FF");
        Row("mac empty", "macadr3=", "00");
        Row("mac 0x prefix", "macadr3=0x1F", "00");
        Row("mac blanks, tab, line feed", "macadr4= 1\tF\n", "1F");
        Row("mac leading zeros", "macadr5=0000000000FF", "FF");
        Row("mac 256", "macadr5=100", "macadr5 OutOfRange");
        Row("mac 2^64", "macadr6=10000000000000000", "macadr6 OutOfRange"); // wraps 64 bits to 0
        Row("octet leading zeros", "secdns4=0000000255", "255");
        Row("octet 256", "defgateway3=256", "defgateway3 OutOfRange");
        Row("octet 2^64", "primdns1=18446744073709551616", "primdns1 OutOfRange");
        Row("octet empty", "ipadr4=", "ipadr4 NoValue");
        Row("octet minus", "ipadr4=-1", "ipadr4 NoValue");
        Row("octet hex", "ipadr4=1a", "ipadr4 NoValue");
        Row("serial 2^32-1", "serialno=4294967295", "4294967295"); // read; IsWritable() refuses it
        Row("serial 2^32", "serialno=4294967296", "serialno OutOfRange"); // wraps 32 bits to 0
        // Several bad boxes: the first in wire order is named, not the first edited.
        Row("serial before mac", "macadr1=100;serialno=x", "serialno NoValue");
        Row("mac before octets", "ipadr1=;macadr6=1FF", "macadr6 OutOfRange");
        Row("earlier group", "secdns1=-1;defgateway4=300;primdns2=", "defgateway4 OutOfRange");
    }

    void settingsFromTexts()
    {
        QFETCH(QString, edits);
        QFETCH(QString, expected);
        QStringList names;
        for (int box = 0; box < kBoxCount; ++box) {
            names << BoxObjectName(BoxAt(box));
        }
        BoxTexts<std::string> texts = Texts("0*27");
        int first = -1;
        for (const QString &edit : edits.split(';')) {
            const qsizetype equals = edit.indexOf('=');
            const int box = int(names.indexOf(edit.left(equals)));
            QVERIFY(box >= 0);
            texts[box] = edit.mid(equals + 1).toStdString();
            first = first < 0 ? box : first;
        }
        const SettingsFromTextsResult result = SettingsFromTexts(texts);
        const QString fault = result.fault == SettingsFault::NoValue ? "NoValue" : "OutOfRange";
        QCOMPARE(result.settings
                     ? QString::fromStdString(TextsFromSettings(*result.settings)[first])
                     : BoxObjectName(result.box) + ' ' + fault,
                 expected);
    }

    void reply_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("events");
        const QString example = kExampleUpdates + " 104:Ok";
        Row("worked example", kExampleReply, example);
        Row("write reply", "02 57 00 57 03", "4:Ok");
        Row("wrong checksum ends at once", "02 57 00 58", "3:ChecksumError");
        Row("no end byte", "02 57 00 57", "");
        Row("noise first", "00 FF 03 57 52 64 02 57 00 57 03", "10:Ok");
        Row("stray byte before 0 length", "02 57 05 00 57 03", "5:Ok");
        // 88 + 87 = 175 (AF): an unknown letter is summed while the parser waits.
        Row("unknown letter summed", "02 58 57 00 AF 03", "5:Ok");
        // 189 + 70 = 259 (03): a checksum that looks like an end byte.
        Row("checksum 3", "02 BD 46 00 03 03", "5:Ok");
        Row("only 3 ends", "02 57 00 57 00 02 57 FF 03", "8:Ok");
        // 2792 + 7 = 2799 (EF): a stray byte before the length 100 is summed.
        Row("stray length summed", "02 52 07 64 " + kExampleRecord + " EF 03",
            kExampleUpdates + " 105:Ok");
        Row("reserved bytes not summed", "02 52 64 " + kExampleFields + " 02 03 FF 80 01*66 E8 03",
            example);
        // Record 02 03 02 03, 03 02 03 02 03 02, 02 x 10, 03 x 10: 182 + 75 = 257 (01).
        QString twoThree = "serialno=33554432 serialno=33751040 serialno=33751552 "
                           "serialno=33751555 macadr1=03 macadr2=02 macadr3=03 macadr4=02 "
                           "macadr5=03 macadr6=02";
        for (int box = BoxIndex(Box::ipadr1); box < kBoxCount; ++box) {
            twoThree +=
                ' ' + BoxObjectName(BoxAt(box)) + (box < BoxIndex(Box::defgateway3) ? "=2" : "=3");
        }
        Row("2 and 3 as data", "02 52 64 02 03 02 03 03 02 03 02 03 02 02*10 03*10 00*70 01 03",
            twoThree + " 104:Ok");
        Row("serial restarts, largest shown unsigned",
            "02 52 64 00 00 00 01 | 02 52 64 FF FF FF FF",
            "serialno=0 serialno=0 serialno=0 serialno=1 serialno=4278190080 "
            "serialno=4294901760 serialno=4294967040 serialno=4294967295");
        Row("text forms", "02 52 64 00 00 00 00 0A 00 FF AB 1A 09 00 FF 07 64",
            "serialno=0 serialno=0 serialno=0 serialno=0 macadr1=0A macadr2=00 macadr3=FF "
            "macadr4=AB macadr5=1A macadr6=09 ipadr1=0 ipadr2=255 ipadr3=7 ipadr4=100");
        // Whatever state an exchange left behind, the reset at its end lets the next reply parse.
        Row("reset waiting for the length", "02 52 FF | " + kExampleReply, example);
        Row("reset inside the record", "02 52 64 12 | " + kExampleReply,
            "serialno=301989888 " + example);
        Row("reset after a checksum error", "02 57 00 58 | " + kExampleReply,
            "3:ChecksumError " + example);
    }

    void reply()
    {
        QFETCH(QString, bytes);
        QFETCH(QString, events);
        QCOMPARE(Feed(bytes), events);
    }
};

} // namespace quillon

QTEST_APPLESS_MAIN(quillon::TestProtocol)
#include "tst_protocol.moc"
