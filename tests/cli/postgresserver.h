// A throwaway PostgreSQL 15 server for one test: its data folder and Unix socket in a private
// temporary folder, a random port number, no TCP at all, run as the postgres user when the
// test runs as root (the server refuses root), and stopped when destroyed, however the test
// ends. It never touches a server that was already running.
#pragma once

#include <QDir>
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
    inline static const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

    PostgresServer() : port_(QRandomGenerator::global()->bounded(20000, 60000))
    {
        const passwd *postgres = ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr;
        if (!QFileInfo::exists(kBin + "initdb") || (::geteuid() == 0 && !postgres)) {
            failure_ = "PostgreSQL 15 is not installed (scripts/install-deps installs it)";
            return;
        }
        asPostgres_ = postgres != nullptr;
        if (postgres && ::chown(qPrintable(dir_.path()), postgres->pw_uid, postgres->pw_gid) != 0) {
            failure_ = "cannot hand the server's folder to the postgres user";
            return;
        }
        if (run({"initdb", "--pgdata", data(), "--username", "postgres", "--auth", "trust",
                 "--no-sync", "--no-instructions"}) &&
            start()) {
            return;
        }
        failure_ = "the test's PostgreSQL server did not start:\n" + output_;
    }
    ~PostgresServer() { stop(); }
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Empty once the server runs.
    const QString &failure() const { return failure_; }

    bool start()
    {
        return run({"pg_ctl", "--pgdata", data(), "--log", dir_.filePath("log"), "--wait", "-o",
                    QString("-k %1 -p %2 -c listen_addresses=").arg(dir_.path()).arg(port_),
                    "start"});
    }
    // Immediately, as a crash or a pulled cable would.
    bool stop()
    {
        return !QFileInfo::exists(dir_.filePath("data/postmaster.pid")) ||
               run({"pg_ctl", "--pgdata", data(), "--mode", "immediate", "--wait", "stop"});
    }

    QString url() const
    {
        return QString("postgresql://postgres@localhost:%1/postgres?host=%2")
            .arg(port_)
            .arg(dir_.path());
    }

private:
    QString data() const { return dir_.filePath("data"); }

    bool run(QStringList arguments)
    {
        QString program = kBin + arguments.takeFirst();
        if (asPostgres_) {
            arguments = QStringList{"-u", "postgres", "--", program} + arguments;
            program = "runuser";
        }
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
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
