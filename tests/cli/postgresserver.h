// A throwaway PostgreSQL 15 server: data and Unix socket in a private temporary folder, a random
// port number, no TCP, run as the postgres user when this process is root (the server refuses
// root), stopped when destroyed however the test ends; never a server that was running before.
#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

namespace quillon::test {

class PostgresServer
{
public:
    PostgresServer() : port_(QRandomGenerator::global()->bounded(20000, 60000))
    {
        const passwd *postgres = ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr;
        asPostgres_ = postgres != nullptr;
        if (!QFileInfo::exists(kBin + "initdb") || (::geteuid() == 0 && !postgres) ||
            (postgres && ::chown(qPrintable(dir_.path()), postgres->pw_uid, postgres->pw_gid))) {
            failure_ = "no PostgreSQL 15 to run (scripts/install-deps installs it)";
        } else if (!run({"initdb", "-D", data(), "-U", "postgres", "--auth=trust", "--no-sync"}) ||
                   !start()) {
            failure_ = "the test's PostgreSQL server did not start:\n" + output_;
        }
    }
    ~PostgresServer() { stop(); }

    const QString &failure() const { return failure_; } // empty once the server runs
    bool start()
    {
        return run({"pg_ctl", "-D", data(), "-l", dir_.filePath("log"), "-w", "-o",
                    QString("-k %1 -p %2 -c listen_addresses=").arg(dir_.path()).arg(port_),
                    "start"});
    }
    // At once, as a crash or a pulled cable would.
    bool stop()
    {
        return !QFileInfo::exists(data() + "/postmaster.pid") ||
               run({"pg_ctl", "-D", data(), "-m", "immediate", "-w", "stop"});
    }
    QString url() const
    {
        return QString("postgresql://postgres@localhost:%1/postgres?host=%2")
            .arg(port_)
            .arg(dir_.path());
    }

private:
    inline static const QString kBin = "/usr/lib/postgresql/15/bin/";

    QString data() const { return dir_.filePath("data"); }
    bool run(QStringList arguments)
    {
        QStringList prefix{kBin + arguments.takeFirst()};
        if (asPostgres_) {
            prefix = QStringList{"runuser", "-u", "postgres", "--"} + prefix;
        }
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = prefix.takeFirst();
        process.start(program, prefix + arguments);
        const bool ok = process.waitForFinished(60000) &&
                        process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        output_ += QString::fromLocal8Bit(process.readAll());
        return ok;
    }

    QTemporaryDir dir_;
    int port_;
    bool asPostgres_ = false;
    QString failure_;
    QString output_;
};

} // namespace quillon::test
