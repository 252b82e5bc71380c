#include "quitafterexpose.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quillon {

QuitAfterExpose::QuitAfterExpose(QWidget &window)
{
    window.windowHandle()->installEventFilter(this);
}

bool QuitAfterExpose::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && !quitting_ &&
        static_cast<QWindow *>(watched)->isExposed()) {
        quitting_ = true;
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    }
    return false;
}

} // namespace quillon
