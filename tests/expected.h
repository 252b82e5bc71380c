#pragma once

// What the exchanges must show, for every front end: the example device, its box texts and the
// log lines of one exchange.

#include "commands/settingsform.h"
#include "protocol/devicesettings.h"
#include "protocol/settingstexts.h"
#include "protocol/setupframe.h"

#include <QByteArray>
#include <QStringList>
#include <QTest>

namespace quillon::test {

inline QByteArray ToBytes(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// One table row; string literals become QString columns.
template <typename... Columns> void Row(const char *name, Columns... columns)
{
    (QTest::newRow(name) << ... << columns);
}

// The read and format requests as they go out on the wire.
inline const QByteArray kRead = QByteArray::fromHex("0252005203");
inline const QByteArray kFormat = QByteArray::fromHex("0246004603");

// A device's settings that exercise every field; the example that documents the record.
inline const DeviceSettings kExample{12345678,           {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E},
                                     {192, 168, 0, 100}, {255, 255, 255, 0},
                                     {192, 168, 0, 1},   {192, 168, 0, 1},
                                     {0, 0, 0, 0}};

// The 27 box texts in wire order, as a front end shows them or as settings read into it.
inline QStringList TextList(const SettingsForm &frontEnd)
{
    QStringList texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts << frontEnd.boxText(BoxAt(i));
    }
    return texts;
}

inline QStringList TextList(const DeviceSettings &settings)
{
    QStringList texts;
    for (const std::string &text : TextsFromSettings(settings)) {
        texts << QString::fromStdString(text);
    }
    return texts;
}

// Fills the boxes as a read reply would.
inline void Fill(SettingsForm &frontEnd, const DeviceSettings &settings)
{
    const QStringList texts = TextList(settings);
    for (int i = 0; i < kBoxCount; ++i) {
        frontEnd.setBoxText(BoxAt(i), texts[i]);
    }
}

// How main_frm.ui names the box.
inline QString BoxObjectName(Box box)
{
    static const QStringList kNames =
        QStringLiteral("serialno macadr1 macadr2 macadr3 macadr4 macadr5 macadr6 ipadr1 ipadr2 "
                       "ipadr3 ipadr4 subnetmask1 subnetmask2 subnetmask3 "
                       "subnetmask4 defgateway1 defgateway2 defgateway3 defgateway4 primdns1 "
                       "primdns2 primdns3 primdns4 secdns1 secdns2 secdns3 secdns4")
            .split(' ');
    return kNames[BoxIndex(box)];
}

// Three log lines of one exchange.
inline QString Log(const QString &port, const QString &label, const QString &outcome)
{
    return QStringLiteral("OpenCom: %1\r\n%2): -> %3\r\nCloseCom: %1\r\n")
        .arg(port, label, outcome);
}

} // namespace quillon::test
