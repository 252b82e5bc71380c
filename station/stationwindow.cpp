#include "station/stationwindow.h"

#include "link/portprobe.h"
#include "station/fixturetile.h"
#include "station/stationsetup.h"
#include "ui_stationwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

namespace quillon {

namespace {

// More fixtures than this go on two rows.
constexpr int kTilesOnOneRow = 4;
constexpr int kPathRole = Qt::UserRole;

} // namespace

StationWindow::StationWindow(PortMap portMap, const StationRun::Timing &timing, QWidget *parent)
    : QWidget(parent), ui_(std::make_unique<Ui::StationWindow>()), portMap_(std::move(portMap)),
      timing_(timing)
{
    ui_->setupUi(this);
    const StationSetup setup = StationSetup::load();
    ui_->plan->setText(setup.plan);
    ui_->ledger->setText(setup.ledger);
    ui_->labelHook->setText(setup.labelHook);
    ui_->stationLog->setText(setup.stationLog);
    listPorts(setup.fixtures);

    const auto refresh = [this] {
        checkLedger();
    };
    connect(ui_->plan, &QLineEdit::editingFinished, this, refresh);
    connect(ui_->ledger, &QLineEdit::editingFinished, this, refresh);
    connect(ui_->planBrowse, &QToolButton::clicked, this, [this, refresh] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Plan"), ui_->plan->text(),
                                                          tr("Plans (*.json);;All files (*)"));
        if (!path.isEmpty()) {
            ui_->plan->setText(path);
            refresh();
        }
    });
    connect(ui_->ledgerBrowse, &QToolButton::clicked, this, [this, refresh] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Ledger"), ui_->ledger->text());
        if (!path.isEmpty()) {
            ui_->ledger->setText(path);
            refresh();
        }
    });
    connect(ui_->stationLogBrowse, &QToolButton::clicked, this, [this] {
        // Appended to, never replaced: asking to overwrite would mislead.
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Station log"), ui_->stationLog->text(), tr("Logs (*.ndjson);;All files (*)"),
            nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty()) {
            ui_->stationLog->setText(path);
        }
    });
    // Remembered as it is chosen, so that a station switched off or killed keeps its set-up.
    const auto remember = [this] {
        currentSetup().save();
    };
    for (QLineEdit *field : {ui_->plan, ui_->ledger, ui_->labelHook, ui_->stationLog}) {
        connect(field, &QLineEdit::editingFinished, this, remember);
    }
    connect(ui_->fixtures, &QListWidget::itemChanged, this, remember);
    connect(ui_->fixtureAdd, &QLineEdit::returnPressed, this, &StationWindow::addFixture);
    connect(ui_->fixtureAddButton, &QToolButton::clicked, this, &StationWindow::addFixture);
    connect(ui_->start, &QPushButton::clicked, this, &StationWindow::start);
    connect(ui_->stop, &QPushButton::clicked, this, &StationWindow::stop);
    if (!setup.plan.isEmpty()) {
        refresh();
    }
    showCounters();
}

StationWindow::~StationWindow()
{
    // A check still under way finishes first: its connection must close before the driver goes.
    for (const QPointer<QThread> &thread : std::as_const(checks_)) {
        if (thread) {
            thread->wait();
        }
    }
    // Closing takes the focus out of a field, whose editing-finished check must not run now.
    for (QWidget *field : std::initializer_list<QWidget *>{ui_->plan, ui_->ledger, ui_->labelHook,
                                                           ui_->stationLog, ui_->fixtures}) {
        field->blockSignals(true);
    }
}

void StationWindow::listPorts(const QStringList &chosen)
{
    QStringList unseen = chosen;
    for (const PortProbe &probe : ProbePorts(portMap_)) {
        const QString path = probe.host.systemLocation;
        auto *item = new QListWidgetItem(probe.listing().join(QStringLiteral("  ")).trimmed(),
                                         ui_->fixtures);
        item->setData(kPathRole, path);
        item->setToolTip(portMap_.tooltip(probe.comNumber));
        item->setCheckState(unseen.removeAll(path) > 0 ? Qt::Checked : Qt::Unchecked);
    }
    // A fixture chosen before stays chosen while its adapter is out; its tile says so.
    for (const QString &path : unseen) {
        addFixtureItem(path);
    }
}

void StationWindow::addFixtureItem(const QString &path)
{
    auto *item = new QListWidgetItem(
        QFileInfo::exists(path) ? path : QStringLiteral("%1  not found").arg(path), ui_->fixtures);
    item->setData(kPathRole, path);
    item->setCheckState(Qt::Checked);
}

void StationWindow::addFixture()
{
    const QString path = ui_->fixtureAdd->text().trimmed();
    if (path.isEmpty()) {
        return;
    }
    if (!path.startsWith(QLatin1Char('/'))) {
        ui_->fixturesError->setText(tr("Give the absolute path of a serial device"));
        return;
    }
    ui_->fixturesError->clear();
    ui_->fixtureAdd->clear();
    for (int i = 0; i < ui_->fixtures->count(); ++i) {
        if (ui_->fixtures->item(i)->data(kPathRole).toString() == path) {
            ui_->fixtures->item(i)->setCheckState(Qt::Checked);
            return;
        }
    }
    addFixtureItem(path);
}

StationSetup StationWindow::currentSetup() const
{
    StationSetup setup{ui_->plan->text(),
                       ui_->ledger->text(),
                       {},
                       ui_->labelHook->text(),
                       ui_->stationLog->text()};
    for (int i = 0; i < ui_->fixtures->count(); ++i) {
        const QListWidgetItem *item = ui_->fixtures->item(i);
        if (item->checkState() == Qt::Checked) {
            setup.fixtures << item->data(kPathRole).toString();
        }
    }
    return setup;
}

std::optional<ProvisionPlan> StationWindow::checkPlan()
{
    const QString path = ui_->plan->text();
    QString error = tr("Choose the plan file");
    std::optional<ProvisionPlan> plan =
        path.isEmpty() ? std::nullopt : ProvisionPlan::readFile(path, &error);
    ui_->planError->setText(plan ? QString() : error);
    if (!plan) {
        // Without a plan the ledger cannot be checked against it: an older verdict would mislead.
        ui_->planSummary->clear();
        ui_->ledgerError->clear();
    }
    return plan;
}

std::optional<LedgerLocation> StationWindow::ledgerLocation()
{
    const QString text = ui_->ledger->text();
    QString error;
    std::optional<LedgerLocation> location = LedgerLocation::resolve(
        text.isEmpty() ? std::nullopt : std::optional<QString>(text), &error);
    ui_->ledgerError->setText(error);
    return location;
}

void StationWindow::checkLedger()
{
    const std::optional<ProvisionPlan> plan = checkPlan();
    const std::optional<LedgerLocation> location = plan ? ledgerLocation() : std::nullopt;
    const int check = ++ledgerChecks_;
    if (!location) {
        finishPendingStart(false);
        return;
    }
    // Off this thread: an unreachable database server or a ledger another station holds locked
    // must never freeze the window. Only the latest check's answer is shown.
    const QPointer<StationWindow> window(this);
    QThread *thread = QThread::create([window, check, location = *location, plan = *plan] {
        QString error;
        const std::unique_ptr<Ledger> ledger = Ledger::openForRun(location, plan, &error);
        const std::optional<Ledger::Remaining> left =
            ledger ? ledger->remaining(&error) : std::nullopt;
        QMetaObject::invokeMethod(
            qApp,
            [window, check, plan, left, error] {
                if (window && check == window->ledgerChecks_) {
                    window->ledgerChecked(plan, left, error);
                }
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    checks_.removeAll(QPointer<QThread>());
    checks_ << thread;
    thread->start();
}

void StationWindow::ledgerChecked(const ProvisionPlan &plan,
                                  const std::optional<Ledger::Remaining> &left,
                                  const QString &error)
{
    ui_->ledgerError->setText(left ? QString() : error);
    showPlan(plan, left);
    finishPendingStart(left.has_value());
}

void StationWindow::finishPendingStart(bool ledgerSound)
{
    if (!startPending_) {
        return;
    }
    startPending_ = false;
    ui_->start->setEnabled(true);
    if (ledgerSound) {
        startChecked();
    } else {
        ui_->status->setText(tr("Not started: see the field marked"));
    }
}

std::unique_ptr<LedgerWorker> StationWindow::openLedger(const ProvisionPlan &plan)
{
    const std::optional<LedgerLocation> location = ledgerLocation();
    if (!location) {
        return nullptr;
    }
    QString error;
    auto ledger = std::make_unique<LedgerWorker>();
    if (!ledger->openForRun(*location, plan, &error)) {
        ui_->ledgerError->setText(error);
        return nullptr;
    }
    return ledger;
}

std::optional<QList<PortArgument>> StationWindow::checkFixtures()
{
    QList<PortArgument> fixtures;
    QString error;
    for (const QString &path : currentSetup().fixtures) {
        const std::optional<PortArgument> port = ResolvePortArgument(
            path, [this]() -> const PortMap & { return portMap_; }, &error);
        if (!port) {
            break;
        }
        for (const PortArgument &earlier : fixtures) {
            if (earlier.sameDevice(*port)) {
                error = tr("%1 and %2 name the same device %3")
                            .arg(earlier.argument, port->argument, port->canonicalPath);
            }
        }
        if (!error.isEmpty()) {
            break;
        }
        fixtures << *port;
    }
    if (error.isEmpty() && fixtures.isEmpty()) {
        error = tr("Tick at least one fixture");
    }
    ui_->fixturesError->setText(error);
    return error.isEmpty() ? std::optional(fixtures) : std::nullopt;
}

void StationWindow::showPlan(const ProvisionPlan &plan,
                             const std::optional<Ledger::Remaining> &left)
{
    const auto range = [](const QString &name, const NumberRange &numbers, QString (*text)(qint64),
                          std::optional<qint64> remaining) {
        QString line = RangeText(name, static_cast<qint64>(numbers.first),
                                 static_cast<qint64>(numbers.last), text);
        return remaining ? tr("%1: %2 left").arg(line).arg(*remaining) : line;
    };
    QStringList lines{range(tr("Serial numbers"), plan.serial, nullptr,
                            left ? std::optional(left->serials) : std::nullopt),
                      range(tr("MACs"), plan.mac, MacNumberText,
                            left ? std::optional(left->macs) : std::nullopt)};
    if (plan.ipIsRange) {
        lines << range(tr("IP addresses"), plan.ip, AddressNumberText,
                       left ? left->ips : std::nullopt);
    } else {
        lines << tr("IP address %1").arg(AddressNumberText(static_cast<qint64>(plan.ip.first)));
    }
    ui_->planSummary->setText(lines.join(QLatin1Char('\n')));
}

void StationWindow::showLeft(LedgerWorker &ledger)
{
    ledger.post(
        this,
        [](Ledger &ledger) {
            QString error;
            return ledger.remaining(&error);
        },
        [this](const std::optional<Ledger::Remaining> &left) {
            if (plan_) {
                showPlan(*plan_, left);
            }
        });
}

void StationWindow::showCounters()
{
    ui_->counters->setText(tr("Passed %1    Failed %2").arg(passed_).arg(failed_));
}

void StationWindow::layOutTiles(const QList<PortArgument> &fixtures)
{
    qDeleteAll(tiles_);
    tiles_.clear();
    const int columns = fixtures.size() <= kTilesOnOneRow
                            ? static_cast<int>(fixtures.size())
                            : static_cast<int>((fixtures.size() + 1) / 2);
    for (int column = 0; column < ui_->tiles->columnCount(); ++column) {
        ui_->tiles->setColumnStretch(column, 0);
    }
    // Every tile as wide as the others, whatever its texts.
    for (int column = 0; column < columns; ++column) {
        ui_->tiles->setColumnStretch(column, 1);
    }
    for (int i = 0; i < fixtures.size(); ++i) {
        auto *tile = new FixtureTile(fixtures[i].argument, ui_->board);
        ui_->tiles->addWidget(tile, i / columns, i % columns);
        tiles_ << tile;
    }
}

void StationWindow::start()
{
    if (run_ || !ui_->start->isEnabled()) {
        return;
    }
    currentSetup().save();
    ui_->stationLogError->clear();
    if (checkFixtures()) {
        ui_->start->setEnabled(false);
        ui_->status->setText(tr("Checking the ledger…"));
        startPending_ = true;
        checkLedger();
    } else {
        ui_->status->setText(tr("Not started: see the field marked"));
    }
}

void StationWindow::startChecked()
{
    plan_ = checkPlan();
    std::unique_ptr<LedgerWorker> ledger = plan_ ? openLedger(*plan_) : nullptr;
    const std::optional<QList<PortArgument>> fixtures = checkFixtures();
    if (!ledger || !fixtures) {
        ui_->status->setText(tr("Not started: see the field marked"));
        return;
    }
    auto run = std::make_unique<StationRun>(*plan_, std::move(ledger), *fixtures, timing_,
                                            ui_->labelHook->text().trimmed());
    QString error;
    const QString log = ui_->stationLog->text();
    if (!log.isEmpty() && !run->openLog(log, &error)) {
        ui_->stationLogError->setText(error);
        ui_->status->setText(tr("Not started: see the field marked"));
        return;
    }
    run_ = std::move(run);
    showLeft(run_->ledger());
    layOutTiles(*fixtures);
    passed_ = 0;
    failed_ = 0;
    showCounters();
    connect(run_.get(), &StationRun::stepChanged, this,
            [this](int fixture, PortProvisioner::Step step, const QString &detail) {
                tiles_[fixture]->showStep(step, detail);
            });
    connect(run_.get(), &StationRun::deviceDone, this, &StationWindow::onDeviceDone);
    connect(run_.get(), &StationRun::fixtureStopped, this,
            [this](int fixture, const QString &reason) { tiles_[fixture]->showStopped(reason); });
    connect(run_.get(), &StationRun::labelFailed, this, [this](int fixture, const QString &reason) {
        tiles_[fixture]->showLabelFailed(reason);
    });
    connect(run_.get(), &StationRun::logFailed, this, [this](const QString &reason) {
        ui_->stationLogError->setText(reason);
        ui_->stop->setEnabled(false);
        ui_->status->setText(tr("Stopping: the station log cannot be written"));
    });
    connect(run_.get(), &StationRun::finished, this, &StationWindow::onFinished,
            Qt::QueuedConnection);
    setRunning(true);
    ui_->status->setText(tr("Running: put units in the fixtures"));
    run_->start();
}

void StationWindow::stop()
{
    if (!run_ || run_->stopping()) {
        return;
    }
    ui_->stop->setEnabled(false);
    ui_->status->setText(tr("Stopping: running exchanges end first"));
    run_->stop();
}

void StationWindow::onDeviceDone(int fixture, const DeviceReport &report)
{
    tiles_[fixture]->showDevice(report);
    if (report.outcome == DeviceReport::Outcome::Verified) {
        ++passed_;
    } else if (report.outcome == DeviceReport::Outcome::Failed) {
        ++failed_;
    }
    showCounters();
    showLeft(run_->ledger());
}

void StationWindow::onFinished()
{
    run_.reset();
    setRunning(false);
    ui_->status->setText(tr("Stopped"));
    if (closeWhenStopped_) {
        close();
    }
}

void StationWindow::setRunning(bool running)
{
    for (QWidget *field :
         {static_cast<QWidget *>(ui_->plan), static_cast<QWidget *>(ui_->planBrowse),
          static_cast<QWidget *>(ui_->ledger), static_cast<QWidget *>(ui_->ledgerBrowse),
          static_cast<QWidget *>(ui_->fixtures), static_cast<QWidget *>(ui_->fixtureAdd),
          static_cast<QWidget *>(ui_->fixtureAddButton), static_cast<QWidget *>(ui_->labelHook),
          static_cast<QWidget *>(ui_->stationLog), static_cast<QWidget *>(ui_->stationLogBrowse),
          static_cast<QWidget *>(ui_->start)}) {
        field->setEnabled(!running);
    }
    ui_->stop->setEnabled(running);
    (running ? ui_->stop : ui_->start)->setFocus();
}

void StationWindow::closeEvent(QCloseEvent *event)
{
    if (!run_) {
        currentSetup().save();
        event->accept();
        return;
    }
    event->ignore();
    if (QMessageBox::question(this, windowTitle(),
                              tr("Units are being provisioned. Stop, let running exchanges end, "
                                 "and close?")) == QMessageBox::Yes) {
        closeWhenStopped_ = true;
        stop();
    }
}

} // namespace quillon
