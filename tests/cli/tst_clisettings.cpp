// Value forms, the seven settings as texts, frames and JSON, the write merge and the plan.
#include "cli/ctlsettings.h"
#include "cli/provisionplan.h"
#include "cli/settingsedit.h"
#include "protocol/replyparser.h"
#include "protocol/setupframe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace quillon;

namespace {

// The worked example's read reply, written out by hand: the record, then the checksum of
// 'R' (82) + 100 + the record's bytes = 2792, 2792 mod 256 = 0xE8.
QByteArray WorkedExampleReply()
{
    QByteArray reply = QByteArray::fromHex("025264"
                                           "00BC614E"
                                           "001A2B3C4D5E"
                                           "C0A80064"
                                           "FFFFFF00"
                                           "C0A80001"
                                           "C0A80001"
                                           "00000000");
    reply.append(70, '\0');
    reply.append(QByteArray::fromHex("E803"));
    return reply;
}

// What the window's boxes hold after a read of `reply`.
BoxTexts<std::string> TextsOfReply(const QByteArray &reply)
{
    ReplyParser parser;
    BoxTexts<std::string> texts;
    for (char c : reply) {
        const ReplyStep step = parser.ParseReplyByte(static_cast<std::uint8_t>(c));
        if (step.box) {
            texts[BoxIndex(*step.box)] = step.text;
        }
    }
    return texts;
}

CtlSettings WorkedExample()
{
    return *CtlSettings::fromBoxTexts(TextsOfReply(WorkedExampleReply()));
}

QByteArray ToBytes(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

const QByteArray kWorkedExampleJson =
    R"({"serial": 12345678, "mac": "00:1A:2B:3C:4D:5E", "ip": "192.168.0.100", )"
    R"("mask": "255.255.255.0", "gateway": "192.168.0.1", "dns1": "192.168.0.1", )"
    R"("dns2": "0.0.0.0"})";

} // namespace

class tst_clisettings : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("printed"); // the value printed back

        const int serial = int(Setting::serial);
        const int mac = int(Setting::mac);
        const int ip = int(Setting::ip);
        QTest::newRow("serial 0") << serial << "0" << true << "0";
        QTest::newRow("serial max") << serial << "2147483647" << true << "2147483647";
        QTest::newRow("serial leading zeros") << serial << "00012345" << true << "12345";
        QTest::newRow("serial max + 1") << serial << "2147483648" << false << "";
        QTest::newRow("serial 2^32") << serial << "4294967296" << false << "";
        QTest::newRow("serial many digits") << serial << "99999999999999999999999" << false << "";
        QTest::newRow("serial sign") << serial << "+5" << false << "";
        QTest::newRow("serial minus") << serial << "-5" << false << "";
        QTest::newRow("serial blank") << serial << " 5" << false << "";
        QTest::newRow("serial empty") << serial << "" << false << "";
        QTest::newRow("serial hex") << serial << "0x10" << false << "";
        QTest::newRow("serial arabic-indic digit")
            << serial << QString(QChar(0x0661)) << false << "";
        QTest::newRow("mac colons") << mac << "00:1A:2B:3C:4D:5E" << true << "00:1A:2B:3C:4D:5E";
        QTest::newRow("mac dashes lower")
            << mac << "02-5c-e1-c0-ff-0a" << true << "02:5C:E1:C0:FF:0A";
        QTest::newRow("mac mixed separators") << mac << "00:1A-2B:3C:4D:5E" << false << "";
        QTest::newRow("mac one digit") << mac << "0:1A:2B:3C:4D:5E" << false << "";
        QTest::newRow("mac five bytes") << mac << "00:1A:2B:3C:4D" << false << "";
        QTest::newRow("mac seven bytes") << mac << "00:1A:2B:3C:4D:5E:6F" << false << "";
        QTest::newRow("mac not hex") << mac << "00:1A:2B:3C:4D:5G" << false << "";
        QTest::newRow("mac no separators") << mac << "001A2B3C4D5E" << false << "";
        QTest::newRow("mac dots") << mac << "00.1A.2B.3C.4D.5E" << false << "";
        QTest::newRow("mac trailing blank") << mac << "00:1A:2B:3C:4D:5E " << false << "";
        QTest::newRow("ip plain") << ip << "192.168.0.100" << true << "192.168.0.100";
        QTest::newRow("ip zeros") << ip << "0.0.0.0" << true << "0.0.0.0";
        QTest::newRow("ip max") << ip << "255.255.255.255" << true << "255.255.255.255";
        QTest::newRow("ip octet 256") << ip << "192.168.0.256" << false << "";
        QTest::newRow("ip leading zero") << ip << "192.168.0.010" << false << "";
        QTest::newRow("ip three octets") << ip << "192.168.0" << false << "";
        QTest::newRow("ip five octets") << ip << "1.2.3.4.5" << false << "";
        QTest::newRow("ip empty octet") << ip << "1..3.4" << false << "";
        QTest::newRow("ip trailing dot") << ip << "1.2.3.4." << false << "";
        QTest::newRow("ip sign") << ip << "+1.2.3.4" << false << "";
        QTest::newRow("ip blank") << ip << "1.2.3.4 " << false << "";
        QTest::newRow("ip hex") << ip << "0x1.2.3.4" << false << "";
        QTest::newRow("ip one number") << ip << "3232235620" << false << "";
    }
    void values()
    {
        QFETCH(int, setting);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, printed);
        SettingsEdit edit;
        QString error;
        QCOMPARE(edit.set(Setting(setting), text, &error), valid);
        if (!valid) {
            QVERIFY2(error.contains(text), qPrintable(error));
            return;
        }
        const std::optional<CtlSettings> after = edit.applyTo(CtlSettings{}, &error);
        QVERIFY(after);
        QCOMPARE(after->valueText(Setting(setting)), printed);
    }

    void workedExample()
    {
        const CtlSettings settings = WorkedExample();
        QCOMPARE(settings.toText(), QStringLiteral("Serial No.: 12345678\n"
                                                   "MAC Adr.: 00:1A:2B:3C:4D:5E\n"
                                                   "IP Address: 192.168.0.100\n"
                                                   "Subnet mask: 255.255.255.0\n"
                                                   "Default Gateway: 192.168.0.1\n"
                                                   "Primary DNS Server: 192.168.0.1\n"
                                                   "Secondary DNS Server: 0.0.0.0\n"));
        QCOMPARE(settings.toJson(), kWorkedExampleJson);
        // The box texts the window would hold, and from them the window's own frame.
        QCOMPARE(settings.boxTexts(), TextsOfReply(WorkedExampleReply()));
        QByteArray frame = QByteArray::fromHex("025764"
                                               "00BC614E"
                                               "001A2B3C4D5E"
                                               "C0A80064"
                                               "FFFFFF00"
                                               "C0A80001"
                                               "C0A80001"
                                               "00000000");
        frame.append(70, '\0');
        frame.append(QByteArray::fromHex("ED03"));
        QCOMPARE(ToBytes(BuildSetupFrame(*settings.deviceSettings())), frame);
        // A file as `read --json` prints it, written back onto a blank device, is the same.
        QString error;
        const std::optional<SettingsEdit> file = SettingsEdit::fromJson(kWorkedExampleJson, &error);
        QVERIFY2(file, qPrintable(error));
        QCOMPARE(file->applyTo(CtlSettings{}, &error), settings);
    }

    void largeSerialNumbers_data()
    {
        QTest::addColumn<QByteArray>("serialBytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("writable");
        QTest::newRow("123456789") << QByteArray::fromHex("075BCD15") << "123456789" << true;
        QTest::newRow("2147483647") << QByteArray::fromHex("7FFFFFFF") << "2147483647" << true;
        QTest::newRow("2147483648") << QByteArray::fromHex("80000000") << "2147483648" << false;
        QTest::newRow("4294967295") << QByteArray::fromHex("FFFFFFFF") << "4294967295" << false;
    }
    void largeSerialNumbers()
    {
        QFETCH(QByteArray, serialBytes);
        QFETCH(QString, text);
        QFETCH(bool, writable);
        QByteArray reply = WorkedExampleReply();
        reply.replace(3, 4, serialBytes);
        int sum = 'R' + 100;
        for (int i = 3; i < 103; ++i) {
            sum += static_cast<std::uint8_t>(reply[i]);
        }
        reply[103] = static_cast<char>(sum % 256);

        const std::optional<CtlSettings> device = CtlSettings::fromBoxTexts(TextsOfReply(reply));
        QVERIFY(device);
        QVERIFY(device->toText().startsWith(QStringLiteral("Serial No.: ") + text + '\n'));
        QVERIFY(device->toJson().startsWith("{\"serial\": " + text.toLatin1() + ","));
        QCOMPARE(device->deviceSettings().has_value(), writable);
        if (writable) {
            QCOMPARE(ToBytes(BuildSetupFrame(*device->deviceSettings())).mid(3, 4), serialBytes);
        }

        // A write that leaves such a serial number as it is cannot send it; --serial can.
        SettingsEdit edit;
        QString error;
        QVERIFY(edit.set(Setting::ip, u"10.0.0.1", &error));
        const std::optional<CtlSettings> kept = edit.applyTo(*device, &error);
        QCOMPARE(kept.has_value(), writable);
        if (!writable) {
            QVERIFY2(error.contains(text) && error.contains("--serial"), qPrintable(error));
        }
        edit.setSerial(7);
        QCOMPARE(edit.applyTo(*device, &error)->serial, 7u);
        // Its JSON, fed back as a --from file, is refused like an out-of-range --serial.
        QCOMPARE(SettingsEdit::fromJson(device->toJson(), &error).has_value(), writable);
    }

    // device <- --from file <- --defaults <- single options; the serial never from defaults.
    void writeMerge()
    {
        const CtlSettings device = WorkedExample();
        QString error;
        SettingsEdit edit = *SettingsEdit::fromJson(
            R"({"ip": "10.1.1.1", "gateway": "10.1.1.254", "serial": 5})", &error);
        edit.overrideWith(SettingsEdit::factoryDefaults());
        SettingsEdit options;
        QVERIFY(options.set(Setting::dns2, u"8.8.8.8", &error));
        edit.overrideWith(options);
        const CtlSettings after = *edit.applyTo(device, &error);
        QCOMPARE(after.serial, 5u);
        QCOMPARE(after.valueText(Setting::mac), QStringLiteral("02:5C:E1:C0:00:00"));
        QCOMPARE(after.valueText(Setting::ip), QStringLiteral("10.10.10.11"));
        QCOMPARE(after.valueText(Setting::mask), QStringLiteral("255.255.255.0"));
        QCOMPARE(after.valueText(Setting::gateway), QStringLiteral("0.0.0.0"));
        QCOMPARE(after.valueText(Setting::dns1), QStringLiteral("0.0.0.0"));
        QCOMPARE(after.valueText(Setting::dns2), QStringLiteral("8.8.8.8"));

        QCOMPARE(SettingsEdit::factoryDefaults().applyTo(device, &error)->serial, device.serial);
        // The mask was already the default.
        QCOMPARE(DescribeChanges(device, after).count('\n'), 6);
        QCOMPARE(ChangesJson(device, device),
                 "{\"before\": " + kWorkedExampleJson + ", \"after\": " + kWorkedExampleJson + "}");
    }

    void badSettingsFiles_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("named");
        QTest::newRow("not JSON") << QByteArray("{\"ip\": ") << "not valid JSON";
        QTest::newRow("array") << QByteArray("[1]") << "not a JSON object";
        QTest::newRow("unknown key") << QByteArray(R"({"gatway": "1.2.3.4"})") << "gatway";
        QTest::newRow("serial as string") << QByteArray(R"({"serial": "5"})") << "serial";
        QTest::newRow("serial fraction") << QByteArray(R"({"serial": 5.5})") << "serial";
        QTest::newRow("serial negative") << QByteArray(R"({"serial": -1})") << "serial";
        QTest::newRow("serial too large") << QByteArray(R"({"serial": 2147483648})") << "serial";
        QTest::newRow("mac malformed") << QByteArray(R"({"mac": "00:11"})") << "\"00:11\"";
        QTest::newRow("ip as number") << QByteArray(R"({"ip": 3232235620})") << "ip";
        QTest::newRow("mask malformed") << QByteArray(R"({"mask": "255.255.255"})") << "mask";
    }
    void badSettingsFiles()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, named);
        QString error;
        QVERIFY(!SettingsEdit::fromJson(json, &error));
        QVERIFY2(error.contains(named), qPrintable(error));
    }

    void planRefusals_data()
    {
        QTest::addColumn<QString>("change"); // "key=value" merged into a valid plan, "-key" drops
        QTest::addColumn<QString>("named");
        QTest::newRow("valid") << ""
                               << "";
        QTest::newRow("ip range") << R"(ip={"first": "10.0.0.1", "last": "10.0.0.9"})"
                                  << "";
        QTest::newRow("missing serial") << "-serial"
                                        << "\"serial\"";
        QTest::newRow("missing dns2") << "-dns2"
                                      << "\"dns2\"";
        QTest::newRow("missing mac.last") << R"(mac={"first": "02:00:00:00:00:00"})"
                                          << "\"mac.last\"";
        QTest::newRow("unknown field") << "colour=1"
                                       << "colour";
        QTest::newRow("serial first after last") << R"(serial={"first": 10, "last": 9})"
                                                 << "\"serial\" range starts after";
        QTest::newRow("serial above max") << R"(serial={"first": 2147483647, "last": 2147483648})"
                                          << "above 2147483647";
        QTest::newRow("serial not whole") << R"(serial={"first": 1.5, "last": 9})"
                                          << "\"serial.first\"";
        QTest::newRow("mac first after last")
            << R"(mac={"first": "02:00:00:00:00:02", "last": "02:00:00:00:00:01"})"
            << "\"mac\" range starts after";
        QTest::newRow("mac multicast first")
            << R"(mac={"first": "03:00:00:00:00:00", "last": "03:00:00:00:00:09"})"
            << "multicast";
        QTest::newRow("mac range across multicast")
            << R"(mac={"first": "02:FF:FF:FF:FF:FE", "last": "04:00:00:00:00:01"})"
            << "multicast";
        QTest::newRow("mac range to the end of the space")
            << R"(mac={"first": "FE:FF:FF:FF:FF:FE", "last": "FF:FF:FF:FF:FF:FF"})"
            << "multicast";
        QTest::newRow("mac range wraps past the end")
            << R"(mac={"first": "FE:FF:FF:FF:FF:FE", "last": "00:00:00:00:00:05"})"
            << "wrap";
        QTest::newRow("mac malformed") << R"(mac={"first": "02:00", "last": "02:00"})"
                                       << "\"mac.first\"";
        QTest::newRow("ip first after last") << R"(ip={"first": "10.0.0.9", "last": "10.0.0.1"})"
                                             << "\"ip\" range starts after";
        QTest::newRow("ip leading zero") << R"(ip="10.0.0.011")"
                                         << "\"ip\"";
        QTest::newRow("mask as number") << "mask=24"
                                        << "\"mask\"";
    }
    void planRefusals()
    {
        QFETCH(QString, change);
        QFETCH(QString, named);
        QJsonObject plan =
            QJsonDocument::fromJson(
                R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
                R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
                R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})")
                .object();
        if (change.startsWith('-')) {
            plan.remove(change.mid(1));
        } else if (!change.isEmpty()) {
            const QByteArray value = "[" + change.section('=', 1).toUtf8() + "]";
            plan.insert(change.section('=', 0, 0), QJsonDocument::fromJson(value).array().first());
        }
        QString error;
        const std::optional<ProvisionPlan> parsed =
            ProvisionPlan::parse(QJsonDocument(plan).toJson(), &error);
        QCOMPARE(parsed.has_value(), named.isEmpty());
        if (parsed) {
            QCOMPARE(parsed->serial.size(), 1000u);
            QCOMPARE(MacText(MacFromNumber(parsed->mac.last)), QStringLiteral("02:5C:E1:C0:13:E7"));
            return;
        }
        QVERIFY2(error.contains(named), qPrintable(error));
        QVERIFY(!error.contains('\n'));
    }

    void planNotJson()
    {
        QString error;
        QVERIFY(!ProvisionPlan::parse("{\"serial\": ", &error));
        QVERIFY2(error.contains("not valid JSON"), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_clisettings)
#include "tst_clisettings.moc"
