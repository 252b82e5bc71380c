#pragma once

#include <QObject>

class QWidget;

namespace quillon {

// Ends the application from a zero-timer once a shown window has been exposed, so the expose's
// paint completes first and the process's whole life is start-up, first paint and exit.
class QuitAfterExpose : public QObject
{
    Q_OBJECT
public:
    // Call after show(): the window's platform window exists from then on.
    explicit QuitAfterExpose(QWidget &window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool quitting_ = false;
};

} // namespace quillon
