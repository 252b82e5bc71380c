#pragma once

#include "provisioning/portevent.h"

#include <QFile>
#include <QString>

namespace quillon {

// A station's own record next to the ledger: every port event appended to a file as one JSON
// line, flushed per line, so that the record survives whatever ends the station. quillonctl's
// --log and the station window's log are this one record.
class EventLog
{
public:
    // Opens `path` for appending, made when missing; false with "PATH: why" when it cannot be.
    bool open(const QString &path, QString *error);
    bool isOpen() const { return file_.isOpen(); }
    // False once a line could not be written (a full disk, a closed pipe); no line is tried
    // after that, so the record never has a gap in its middle.
    bool write(const PortEvent &event);
    // Why the log can no longer be written, or empty.
    QString failure() const;

private:
    QFile file_;
    QString path_;
    bool failed_ = false;
};

} // namespace quillon
