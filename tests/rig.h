#pragma once

// The real window wired to simulated devices on pseudo-terminals, reached through symbolic
// links so that a test can re-plug a device under the same COM number.

#include "expected.h"
#include "link/exchange.h"
#include "sim/simulatedquillon.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace quillon::test {

// Drives the real window with real clicks and keys.
class Driver
{
public:
    void open(const PortMap &map)
    {
        window = std::make_unique<main_frm>(map);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QComboBox *ports() const { return child<QComboBox>("comports"); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QString log() const { return child<QLabel>("status")->text(); }
    QColor logColor() const
    {
        return child<QLabel>("status")->palette().color(QPalette::WindowText);
    }
    QString box(Box b) const { return window->boxText(b); }
    Exchange &exchange() const { return window->exchange(); }

    // Chooses an entry with the keyboard, as an operator would.
    void pick(const QString &name)
    {
        QComboBox *box = ports();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        while (box->currentText() != name && box->currentIndex() + 1 < box->count()) {
            QTest::keyClick(box, Qt::Key_Down);
        }
    }

    // Types over the port box's text without choosing an entry.
    void typePort(const QString &text) { typeInto(ports()->lineEdit(), text); }

    static void typeInto(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Clicks Format Flash, or does `act`, and answers a warning box that opens with a key, as an
    // operator would: Enter takes its default OK, Escape cancels. Returns the box's title, text
    // and icon.
    QString formatAnswering(Qt::Key key, const std::function<void()> &act = {})
    {
        // Polled: a key press may run the event loop before the box opens.
        QString seen;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [key, &seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen = box->windowTitle() + '|' + box->text() +
                       (box->icon() == QMessageBox::Warning ? "|warning" : "|no warning icon");
                QTest::keyClick(box, key);
            }
        });
        answer.start(10);
        act ? act() : click("button_format_flash");
        return seen;
    }

    std::unique_ptr<main_frm> window;
};

// COM3 is a simulated device behind a symbolic link; COM5 names a device that does not exist.
class Rig : public Driver
{
public:
    Rig()
    {
        plug();
        PortMap map;
        map.setPort(3, {linkPath(), QStringLiteral("simulated Quillon"), {}, {}, {}});
        map.setPort(5, {dir.filePath(QStringLiteral("missing")), {}, {}, {}, {}});
        open(map);
    }

    QString linkPath() const { return dir.filePath(QStringLiteral("com3")); }

    // A new device behind COM3, as if another one were plugged in.
    void plug()
    {
        sim = std::make_unique<SimulatedQuillon>();
        QFile::remove(linkPath());
        QFile::link(QString::fromStdString(sim->devicePath()), linkPath());
    }

    QTemporaryDir dir;
    std::unique_ptr<SimulatedQuillon> sim;
};

inline const QColor kGreen(0, 192, 0);
inline const QColor kRed(255, 0, 0);

} // namespace quillon::test
