// The strict value forms of the options, --from files and plans: refusals name the culprit.
#include "ctlharness.h"
#include "settings/provisionplan.h"
#include "settings/settingsedit.h"

#include <QTest>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;

class tst_clisettings : public QObject
{
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed"); // the value printed back; empty if refused
        const auto rows = [](Setting setting, const QStringList &texts,
                             const QStringList &printed) {
            for (qsizetype i = 0; i < texts.size(); ++i) {
                QTest::addRow("%d \"%s\"", int(setting), qPrintable(texts[i]))
                    << int(setting) << texts[i] << printed.value(i);
            }
        };
        rows(Setting::Serial, {"0", "2147483647", "00012345"}, {"0", "2147483647", "12345"});
        rows(Setting::Serial,
             {"2147483648", "4294967296", "99999999999999999999999", "+5", "-5", " 5", "", "0x10",
              QString(QChar(0x0661))},
             {});
        rows(Setting::Mac, {"00:1A:2B:3C:4D:5E", "02-5c-e1-c0-ff-0a"},
             {"00:1A:2B:3C:4D:5E", "02:5C:E1:C0:FF:0A"});
        rows(Setting::Mac,
             {"00:1A-2B:3C:4D:5E", "0:1A:2B:3C:4D:5E", "00:1A:2B:3C:4D", "00:1A:2B:3C:4D:5E:6F",
              "00:1A:2B:3C:4D:5G", "001A2B3C4D5E", "00.1A.2B.3C.4D.5E", "00:1A:2B:3C:4D:5E "},
             {});
        rows(Setting::Ip, {"192.168.0.100", "0.0.0.0", "255.255.255.255"},
             {"192.168.0.100", "0.0.0.0", "255.255.255.255"});
        rows(Setting::Ip,
             {"192.168.0.256", "192.168.0.010", "192.168.0", "1.2.3.4.5", "1..3.4", "1.2.3.4.",
              "+1.2.3.4", "1.2.3.4 ", "0x1.2.3.4", "3232235620"},
             {});
    }
    void values()
    {
        QFETCH(int, setting);
        QFETCH(QString, text);
        QFETCH(QString, printed);
        SettingsEdit edit;
        QString error;
        QCOMPARE(edit.set(Setting(setting), text, &error), !printed.isEmpty());
        if (printed.isEmpty()) {
            QVERIFY2(error.contains(text), qPrintable(error));
            return;
        }
        QCOMPARE(ValueText(*edit.applyTo(DeviceSettings{}, &error), Setting(setting)), printed);
    }

    void badSettingsFiles_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("named");
        Row("not JSON", R"({"ip": )"_ba, "not valid JSON");
        Row("array", "[1]"_ba, "not a JSON object");
        Row("unknown key", R"({"gatway": "1.2.3.4"})"_ba, "gatway");
        Row("serial as string", R"({"serial": "5"})"_ba, "serial");
        Row("serial fraction", R"({"serial": 5.5})"_ba, "serial");
        Row("serial negative", R"({"serial": -1})"_ba, "serial");
        Row("serial too large", R"({"serial": 2147483648})"_ba, "serial");
        Row("mac malformed", R"({"mac": "00:11"})"_ba, "\"00:11\"");
        Row("ip as number", R"({"ip": 3232235620})"_ba, "ip");
        // The parser would keep one of the two without a word, even spelled with an escape.
        Row("key twice", R"({"ip": "10.0.0.1", "dns1": "1.1.1.1", "\u0069p": "10.0.0.2"})"_ba,
            "\"ip\" given twice");
    }

    void badSettingsFiles()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, named);
        QString error;
        QVERIFY(!SettingsEdit::fromJson(json, &error));
        QVERIFY2(error.contains(named), qPrintable(error));
    }

    // The standard plan with one field replaced (or dropped, if the value is empty).
    void plans_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("named"); // empty if the plan is accepted
        const auto row = [](const char *name, const char *field, QByteArray value, QString named) {
            QTest::newRow(name) << field << value << named;
        };
        row("ip range", "ip", R"({"first": "10.10.10.20", "last": "10.10.10.29"})", "");
        row("unknown field in a range", "serial", R"({"first": 1, "last": 9, "step": 2})",
            "\"serial\" has an unknown field \"step\"");
        // The factory identity: every fresh unit would pass for one already provisioned.
        row("serial range from 0", "serial", R"({"first": 0, "last": 9})", "holds 0, the factory");
        row("mac range over the factory MAC", "mac",
            R"({"first": "02:5C:E1:BF:FF:FF", "last": "02:5C:E1:C0:00:01"})",
            "holds 02:5C:E1:C0:00:00, the factory MAC");
        row("mac all zero", "mac", R"({"first": "00:00:00:00:00:00", "last": "00:00:00:00:00:01"})",
            "mac 00:00:00:00:00:00 is all zero");
        // Addresses a unit cannot use, each with the field named.
        row("ip range to the broadcast address", "ip",
            R"({"first": "10.10.10.250", "last": "10.10.10.255"})",
            "ip 10.10.10.255 is the broadcast address");
        row("ip range across subnets", "ip", R"({"first": "10.10.10.250", "last": "10.10.11.5"})",
            "gateway 10.10.10.1 is no other");
        row("ip the network address", "ip", R"("10.10.10.0")", "ip 10.10.10.0 is the network");
        row("ip multicast", "ip", R"("224.0.0.5")", "ip 224.0.0.5 is no host address");
        row("ip 0.0.0.0", "ip", R"("0.0.0.0")", "ip 0.0.0.0 is no host address");
        row("gateway none", "gateway", R"("0.0.0.0")", "");
        row("dns multicast", "dns2", R"("239.1.1.1")", "dns2 239.1.1.1 is not a unicast");
        row("missing serial", "serial", "", "\"serial\"");
        row("missing mac.last", "mac", R"({"first": "02:00:00:00:00:00"})", "\"mac.last\"");
        row("unknown field", "colour", "1", "colour");
        row("serial first after last", "serial", R"({"first": 10, "last": 9})",
            "\"serial\" range starts after");
        row("serial above max", "serial", R"({"first": 2147483647, "last": 2147483648})",
            "above 2147483647");
        row("serial not whole", "serial", R"({"first": 1.5, "last": 9})", "\"serial.first\"");
        row("mac first after last", "mac",
            R"({"first": "02:00:00:00:00:02", "last": "02:00:00:00:00:01"})",
            "\"mac\" range starts after");
        row("mac multicast first", "mac",
            R"({"first": "03:00:00:00:00:00", "last": "03:00:00:00:00:09"})", "multicast");
        row("mac range across multicast", "mac",
            R"({"first": "02:FF:FF:FF:FF:FE", "last": "04:00:00:00:00:01"})", "multicast");
        row("mac range to the end of the space", "mac",
            R"({"first": "FE:FF:FF:FF:FF:FE", "last": "FF:FF:FF:FF:FF:FF"})", "multicast");
        row("mac range wraps past the end", "mac",
            R"({"first": "FE:FF:FF:FF:FF:FE", "last": "00:00:00:00:00:05"})", "wrap");
        row("mac malformed", "mac", R"({"first": "02:00", "last": "02:00"})", "\"mac.first\"");
        row("ip first after last", "ip", R"({"first": "10.0.0.9", "last": "10.0.0.1"})",
            "\"ip\" range starts after");
        row("ip leading zero", "ip", R"("10.0.0.011")", "\"ip\"");
        row("mask as number", "mask", "24", "\"mask\"");
    }
    void plans()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, value);
        QFETCH(QString, named);
        QString error;
        QCOMPARE(ProvisionPlan::parse(PlanWith(field, value), &error).has_value(), named.isEmpty());
        QVERIFY2(error.contains(named) && !error.contains('\n'), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_clisettings)
#include "tst_clisettings.moc"
