#pragma once

#include "provisioning/portevent.h"
#include "settings/provisionplan.h"

#include <QObject>
#include <QString>

namespace quillon {

// The command run after each verified unit, to print its label for example: `/bin/sh -c
// COMMAND` with the unit's values only in environment variables (QUILLON_PORT, QUILLON_SERIAL,
// QUILLON_MAC, QUILLON_IP, QUILLON_MASK, QUILLON_GATEWAY, QUILLON_DNS1, QUILLON_DNS2), never
// in the command's text. Each unit's command runs on its own, so a slow one never holds up
// another port; one that fails or outlives its time limit is reported, and the unit stays
// verified.
class LabelHook : public QObject
{
    Q_OBJECT
public:
    // A label printer that has not answered in this time will not.
    static constexpr int kTimeLimitMs = 30000;

    LabelHook(const QString &command, const ProvisionPlan &plan, int timeLimitMs,
              QObject *parent = nullptr);

    // Runs the command for the unit of a Verified event; nothing when the command is empty.
    void run(const PortEvent &verified);
    bool idle() const { return running_ == 0; }

signals:
    // A HookFailed event with the unit's values and why.
    void failed(const quillon::PortEvent &event);
    void allEnded();

private:
    void ended(const PortEvent &unit, const QString &failure);

    QString command_;
    ProvisionPlan plan_;
    int timeLimitMs_;
    int running_ = 0;
};

} // namespace quillon
