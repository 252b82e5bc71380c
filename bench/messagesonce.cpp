#include "messagesonce.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <mutex>
#include <set>

namespace quillon {

namespace {

std::mutex seenMutex;
std::set<QString> seen;

void PrintOnce(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString line = qFormatLogMessage(type, context, message);
    std::lock_guard lock(seenMutex);
    if (seen.insert(line).second) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
}

} // namespace

void PrintEachMessageOnce()
{
    qInstallMessageHandler(PrintOnce);
}

} // namespace quillon
