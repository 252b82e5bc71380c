// The keyboard in an operator's hands: a command button that disables itself never hands the
// focus to Exit, and gets it back when its exchange ends, so a repeated Space repeats it.

#include "rig.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// A key as the keyboard sends it: to whatever widget has the focus.
void Press(Rig &rig, Qt::Key key)
{
    QTest::keyClick(rig.window->windowHandle(), key);
}

// Answers every format warning with Enter, its default OK, as soon as it shows.
class WarningAnswerer
{
public:
    WarningAnswerer()
    {
        QObject::connect(&poll_, &QTimer::timeout, [] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        poll_.start(10);
    }

private:
    QTimer poll_;
};

} // namespace

class tst_Keyboard : public QObject
{
    Q_OBJECT
private slots:
    void spaceRepeatsCommand_data();
    void spaceRepeatsCommand();
};

void tst_Keyboard::spaceRepeatsCommand_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("outcomeAfterSpace"); // of the first exchange
    const auto row = [](const char *name, const char *button, const char *label,
                        const char *outcome) {
        QTest::newRow(name) << QString(button) << QString(label) << QString(outcome);
    };
    row("Read Setup", "read_setup", "Reading Setup (", "OK");
    row("Write Setup", "write_setup", "Writing Setup (", "OK");
    // During a format the button is the Abort button.
    row("Format Flash", "button_format_flash", "Formatting Flash (", "Aborted");
}

void tst_Keyboard::spaceRepeatsCommand()
{
    QFETCH(QString, button);
    QFETCH(QString, label);
    QFETCH(QString, outcomeAfterSpace);
    const bool format = button == "button_format_flash";
    Rig rig;
    rig.sim->setSettings(kExample);
    Fill(*rig.window, kExample);
    rig.pick("COM3");
    if (format) {
        // Only an exchange the device answered enables Format Flash.
        rig.click("read_setup");
        QTRY_VERIFY(rig.button("button_format_flash")->isEnabled());
        rig.sim->setFormatTime(std::chrono::milliseconds(300));
    } else {
        // Slow enough that a second key lands while the reply still arrives.
        rig.sim->setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(2));
    }
    const int first = rig.exchange().exchange_no() + 1;
    // The window's focus, which the keyboard reaches once the warning box has closed.
    QWidget *command = rig.button(qPrintable(button));
    command->setFocus();

    WarningAnswerer answerer;
    Press(rig, Qt::Key_Space);
    QVERIFY(rig.exchange().busy());
    QVERIFY(rig.window->focusWidget() != rig.button("closebutton"));
    Press(rig, Qt::Key_Space);
    QVERIFY(rig.window->isVisible());
    QTRY_COMPARE(rig.log(), Log("COM3", label + QString::number(first), outcomeAfterSpace));
    QCOMPARE(rig.exchange().exchange_no(), first);
    QCOMPARE(rig.window->focusWidget(), command);

    Press(rig, Qt::Key_Space);
    QTRY_COMPARE(rig.log(), Log("COM3", label + QString::number(first + 1), "OK"));
    QVERIFY(rig.window->isVisible());
    QCOMPARE(rig.window->focusWidget(), command);
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
