// The window on its own: its controls, the port box, the start-up scan, how the group boxes draw
// and the programs' command line.

#include "expected.h"
#include "version.h"
#include "window/groupboxstyle.h"
#include "window/main_frm.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace quillon;
using namespace quillon::test;

namespace {

QString SpokenName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

} // namespace

class tst_window : public QObject
{
    Q_OBJECT

    template <typename T = QPushButton> static T *child(main_frm &window, const QString &name)
    {
        return window.findChild<T *>(name);
    }

private slots:
    // Nothing can be sent before a port is picked and the factory fields are locked. A screen
    // reader names every control, tells the 27 boxes apart and hears the log as plain text.
    void startState()
    {
        main_frm window{PortMap{}};
        QList<std::pair<QString, bool>> controls{
            {"comports", true},     {"bar_format_flash", true},     {"read_setup", false},
            {"write_setup", false}, {"button_format_flash", false}, {"default_values", true},
            {"closebutton", true}};
        for (int i = 0; i < kBoxCount; ++i) {
            controls.append({BoxObjectName(BoxAt(i)), IsOctetBox(BoxAt(i))});
        }
        QSet<QString> spoken;
        for (const auto &[name, enabled] : controls) {
            QWidget *widget = child<QWidget>(window, name);
            QCOMPARE(widget->isEnabled(), enabled);
            QVERIFY2(!SpokenName(widget).isEmpty(), qPrintable(name));
            spoken << SpokenName(widget);
        }
        QCOMPARE(spoken.size(), controls.size());
        // Without its own name a group is announced with the title of the group around it.
        QCOMPARE(SpokenName(child<QWidget>(window, "Frame4")), "Ethernet");
        QCOMPARE(SpokenName(child<QWidget>(window, "logo")), "Quillon logo");
        QCOMPARE(window.windowTitle(), QStringLiteral("Quillon V") + QString::fromLatin1(kVersion));
        window.setLog("<b>COM3\r\n");
        QCOMPARE(SpokenName(child<QLabel>(window, "status")), "<b>COM3\r\n");
    }

    void portBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("pick");
        // Typed text equal to an entry's name, however it is confirmed, is not a pick.
        Row("typed, Enter", "COM3", "Enter", false);
        Row("typed, click elsewhere", "COM3", "click elsewhere", false);
        Row("typed in lower case, Enter", "com3", "Enter", false);
        Row("typed, list opened and closed", "COM3", "open, Escape", false);
        Row("typed, then Down", "COM", "Down", true);
        Row("wheel", "", "wheel", true);
        Row("list, click", "", "open, click", true);
        Row("typed, list, click the same", "COM3", "open, click", true);
        Row("list, Down, Enter", "", "open, Down, Enter", true);
    }

    // Only a choice from the list enables the commands; typed text is never completed,
    // rewritten or added as an entry.
    void portBox()
    {
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(bool, pick);
        main_frm window{PortMap{}};
        auto *ports = child<QComboBox>(window, "comports");
        ports->addItem("COM3");
        ports->setCurrentIndex(-1);
        window.setBoxText(Box::serialno, "4711");
        // Only the pick may enable the commands here.
        window.showControls({});
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ports->setFocus();
        QTest::keyClicks(ports, typed);

        QAbstractItemView *list = ports->view();
        const auto open = [&] {
            QTest::keyClick(ports, Qt::Key_Down, Qt::AltModifier);
            QTRY_VERIFY(list->isVisible());
        };
        if (action == "Enter") {
            QTest::keyClick(ports, Qt::Key_Return);
        } else if (action == "click elsewhere") {
            QTest::mouseClick(child<QLineEdit>(window, "ipadr1"), Qt::LeftButton);
            QVERIFY(!ports->hasFocus());
        } else if (action == "Down") {
            QTest::keyClick(ports, Qt::Key_Down);
        } else if (action == "wheel") {
            QWheelEvent wheel(QPointF(5, 5), ports->mapToGlobal(QPointF(5, 5)), {}, {0, -120},
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(ports, &wheel);
        } else if (action == "open, Escape") {
            open();
            QTest::keyClick(list, Qt::Key_Escape);
        } else if (action == "open, click") {
            open();
            // Clicks too soon after the list opens count as the click that opened it.
            QTest::qWait(QApplication::doubleClickInterval());
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(ports->model()->index(0, 0)).center());
        } else if (action == "open, Down, Enter") {
            open();
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
        }
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(ports->count(), 1);
        QCOMPARE(window.portName(), pick ? "COM3" : typed);
        QCOMPARE(child(window, "read_setup")->isEnabled(), pick);
        QCOMPARE(child(window, "write_setup")->isEnabled(), pick);
        QVERIFY(!child(window, "button_format_flash")->isEnabled());
    }

    void longTextsKeepWindowSize_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("32767 characters") << QString(32767, 'X');
        QTest::newRow("300 characters with spaces") << QString("COM3 ").repeated(60);
    }

    // Pasted into the port box, then Read Setup: the box keeps 64 characters, the log clips a
    // line without spaces, and the window keeps its size.
    void longTextsKeepWindowSize()
    {
        QFETCH(QString, pasted);
        main_frm window{PortMap{}};
        auto *ports = child<QComboBox>(window, "comports");
        ports->addItem("COM3");
        ports->setCurrentIndex(-1);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QSize size = window.size();
        ports->setFocus();
        QTest::keyClick(ports, Qt::Key_Down);
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(ports, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(ports, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(window.portName(), pasted.left(64));
        QTest::mouseClick(child(window, "read_setup"), Qt::LeftButton);
        QVERIFY(child<QLabel>(window, "status")->text().contains("Port error"));
        window.appendLog(pasted);
        // Each level of the nested layouts settles in a pass of its own.
        for (int level = 0; level < 8; ++level) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        }
        QCOMPARE(window.size(), size);
    }

    void noUsablePort_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("tooltip");
        Row("no serial device", "",
            "No serial device found on this computer.\nPlug the adapter in and start the tool "
            "again.");
        Row("a device that cannot be opened", "/nonexistent/ttyQ0",
            "No serial port could be opened:\n/nonexistent/ttyQ0 does not exist");
    }

    // The log stays empty at start-up; the port box itself says why there is nothing to pick.
    void noUsablePort()
    {
        QFETCH(QString, path);
        QFETCH(QString, tooltip);
        PortMap map;
        if (!path.isEmpty()) {
            map.setPort(1, {path, {}, {}, {}, {}});
        }
        main_frm window{map};
        auto *ports = child<QComboBox>(window, "comports");
        QCOMPARE(ports->count(), 0);
        QCOMPARE(window.portName(), QString());
        QCOMPARE(ports->lineEdit()->placeholderText(), "No usable serial port: see the tooltip");
        QCOMPARE(ports->toolTip(), tooltip);
        QCOMPARE(QAccessible::queryAccessibleInterface(ports)->text(QAccessible::Description),
                 tooltip);
        QCOMPARE(child<QLabel>(window, "status")->text(), QString());
    }

    // quillon lists and tries the host's ports on a worker thread while its form is built: the
    // window lists what a scan on its own thread lists.
    void threadedStartUpScan()
    {
        main_frm threaded(PortScan::host());
        main_frm direct(PortMap::host());
        const auto entries = [](main_frm &window) {
            const auto *ports = child<QComboBox>(window, "comports");
            QStringList texts;
            for (int i = 0; i < ports->count(); ++i) {
                texts << ports->itemText(i) + ports->itemData(i, Qt::ToolTipRole).toString();
            }
            return texts << ports->toolTip();
        };
        QCOMPARE(entries(threaded), entries(direct));
        QCOMPARE(threaded.exchange().scan().size(), direct.exchange().scan().size());
    }
    // The window programs' command line as a user meets it: from a terminal, often without a
    // display.
    void arguments_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString tool = QStringLiteral(QUILLON_PROGRAM);
        const QString demo = QStringLiteral(QUILLON_DEMO_PROGRAM);
        const QString version = QString::fromLatin1(kVersion);
        const QString usage = "Usage: quillon [OPTION]\n";
        const QString demoUsage = "Usage: quillon-demo [OPTION]\n";
        const auto row = [](const char *name, const QString &program, const QStringList &arguments,
                            int status, const QString &out, const QString &err) {
            QTest::newRow(name) << program << arguments << status << out << err;
        };
        row("--version", tool, {"--version"}, 0, "quillon " + version + "\n", "");
        // An answer wins over a mistake anywhere on the line, as it needs no display.
        row("--help after a mistake", tool, {"--bogus", "--help"}, 0, usage, "");
        // Qt takes its own options first; only what is left over is refused, by name.
        row("stray word after -session", tool, {"-platform", "offscreen", "-session", "s1", "COM3"},
            2, "", "quillon: unknown argument 'COM3'\n" + usage);
        row("demo unknown option", demo, {"-platform", "offscreen", "-x"}, 2, "",
            "quillon-demo: unknown argument '-x'\n" + demoUsage);
        // Without -platform there is no display to be had: the mistake is found before Qt
        // would abort for want of one, and Qt's own options are still told apart from it.
        row("unknown option, no display", tool, {"--bogus"}, 2, "",
            "quillon: unknown argument '--bogus'\n" + usage);
        row("Qt's options, then a mistake, no display", tool,
            {"-style", "fusion", "--reverse", "-stylesheet=a.qss", "-name", "q", "COM3"}, 2, "",
            "quillon: unknown argument 'COM3'\n" + usage);
    }

    void arguments()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        // No display at all: the answers must not need one, and -platform must be what gives one.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir::tempPath());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
    }

    // Drawn from the group boxes' kept measurements, the window equals the application's own
    // style pixel for pixel. Repainted: a button's area, a band through a box's title, or all.
    void groupBoxesDrawAsTheStyle_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QString>("under");
        QTest::newRow("light") << false << 1.0 << QString();
        QTest::newRow("dark at 2x") << true << 2.0 << QString();
        QTest::newRow("light at 2x, under a button") << false << 2.0 << "read_setup";
        QTest::newRow("dark, under a button") << true << 1.0 << "write_setup";
        QTest::newRow("through a title") << false << 2.0 << "Frame2";
    }

    void groupBoxesDrawAsTheStyle()
    {
        QFETCH(bool, dark);
        QFETCH(qreal, scale);
        QFETCH(QString, under);
        const QPalette light = QApplication::palette();
        QApplication::setPalette(dark ? QPalette(QColor(53, 53, 53)) : light);
        main_frm window{PortMap{}};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QRect area = window.rect();
        if (const auto *control = child<QWidget>(window, under)) {
            const bool box = qobject_cast<const QGroupBox *>(control) != nullptr;
            area = {control->mapTo(&window, QPoint()),
                    QSize(control->width(),
                          box ? control->fontMetrics().height() / 2 : control->height())};
        }
        const auto render = [&] {
            QImage image(window.size() * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::transparent);
            window.render(&image, QPoint(), QRegion(area));
            return image;
        };
        const QList<QGroupBox *> boxes = window.findChildren<QGroupBox *>();
        QVERIFY(qobject_cast<GroupBoxStyle *>(boxes.first()->style()));
        window.grab(); // measures every box
        const QImage kept = render();
        for (QGroupBox *box : boxes) {
            box->setStyle(QApplication::style());
        }
        const QImage plain = render();
        QApplication::setPalette(light);
        QVERIFY(kept == plain);
    }
};

QTEST_MAIN(tst_window)
#include "tst_window.moc"
