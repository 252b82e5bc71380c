#pragma once

#include "provisioning/devicereport.h"
#include "provisioning/portprovisioner.h"

#include <QFrame>

class QLabel;

namespace quillon {

// One fixture as the operator sees it from a metre away: the port's name, its state in large
// text with a symbol and a colour, and what the last unit got or why it failed. A screen reader
// gets the same as the tile's accessible name and description, and an alert at each result.
class FixtureTile : public QFrame
{
    Q_OBJECT
public:
    enum class State { Waiting, Working, Passed, Failed, Unavailable };

    explicit FixtureTile(const QString &port, QWidget *parent = nullptr);

    // A PASS or FAIL stays until the provisioner reports the unit gone (waiting or unavailable)
    // or the next unit being read.
    void showStep(PortProvisioner::Step step, const QString &detail);
    void showDevice(const DeviceReport &report);
    // The label command of the unit just passed failed: the unit stays passed, the label must
    // be printed by hand.
    void showLabelFailed(const QString &reason);
    // The port gave up (no ledger, no numbers left): shown until the next start.
    void showStopped(const QString &reason);

    State state() const { return state_; }
    QString headline() const;
    QString detail() const;

protected:
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void show(State state, const QString &headline, const QString &detail, bool announce = false);
    void applyColours();
    // The failure in the operator's words: what did not answer, and when.
    QString failureText(const DeviceReport &report) const;

    QString port_;
    State state_ = State::Waiting;
    PortProvisioner::Step step_ = PortProvisioner::Step::Waiting;
    QLabel *name_;
    QLabel *headline_;
    QLabel *detail_;
};

} // namespace quillon
