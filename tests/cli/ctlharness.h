// What the quillonctl tests share: the standard plan, simulated devices on pseudo-terminals,
// and quillonctl run in this process or as a child process.
#pragma once

#include "cli/quillonctl.h"
#include "protocol/factorydefaults.h"
#include "sim/simulatedquillon.h"
#include "tests/expected.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>

#include <memory>
#include <vector>

namespace quillon::test {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

inline const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

// The standard plan with one field replaced by `value` (JSON text), or dropped if it is empty.
inline QByteArray PlanWith(const QString &field, const QByteArray &value)
{
    QJsonObject plan = QJsonDocument::fromJson(kPlan).object();
    if (value.isEmpty()) {
        plan.remove(field);
    } else {
        plan.insert(field, QJsonDocument::fromJson("[" + value + "]").array().first());
    }
    return QJsonDocument(plan).toJson();
}

inline bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Another process's transaction on an SQLite ledger: it holds the write lock until destroyed.
struct LedgerLock
{
    explicit LedgerLock(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "lock");
        db.setDatabaseName(path);
        locked = db.open() && QSqlQuery(db).exec("BEGIN IMMEDIATE");
    }
    ~LedgerLock() { QSqlDatabase::removeDatabase("lock"); } // closing rolls back
    bool locked = false;
};

using Devices = std::vector<std::unique_ptr<SimulatedQuillon>>;

inline Devices MakeDevices(int count, const DeviceSettings &settings = FactorySettings())
{
    Devices devices;
    for (int i = 0; i < count; ++i) {
        devices.push_back(std::make_unique<SimulatedQuillon>());
        devices.back()->setSettings(settings);
    }
    return devices;
}

inline QStringList Paths(const Devices &devices)
{
    QStringList paths;
    for (const auto &device : devices) {
        paths << QString::fromStdString(device->devicePath());
    }
    return paths;
}

inline Run RunCtl(const QStringList &arguments, const CtlOptions &options = {})
{
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = RunQuillonCtl(QStringList{"quillonctl"} + arguments, options, out, err);
    out.flush();
    err.flush();
    return result;
}

// LANG=C keeps the child's messages the ones the tests compare.
inline void Start(QProcess &process, const QStringList &arguments,
                  const QString &program = QUILLONCTL)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LANG", "C");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

// Waits for the child; status -2 for a crash, -1 if it hangs (its QProcess then kills it).
inline Run Finish(QProcess &process)
{
    Run result;
    // waitForFinished() is false for a child that has ended already.
    const bool ended = process.state() == QProcess::NotRunning
                           ? process.error() != QProcess::FailedToStart
                           : process.waitForFinished(60000);
    if (ended) {
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline Run RunChild(const QStringList &arguments, const QString &program = QUILLONCTL)
{
    QProcess process;
    Start(process, arguments, program);
    return Finish(process);
}

} // namespace quillon::test
