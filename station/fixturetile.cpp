#include "station/fixturetile.h"

#include "window/logcolors.h"

#include <QAccessible>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

namespace quillon {

namespace {

// Sizes in pixels, so that a tile reads the same from a metre away whatever the desktop's
// font; the headline is what the operator glances at.
constexpr int kNamePixels = 18;
constexpr int kHeadlinePixels = 30;
constexpr int kDetailPixels = 18;
constexpr int kFrameWidth = 2;
constexpr int kFocusFrameWidth = 6;

struct Look
{
    QColor hue;
    double strength; // how much of the hue over the window colour
};

Look LookOf(FixtureTile::State state)
{
    switch (state) {
    case FixtureTile::State::Waiting:
        return {QColor(128, 128, 128), 0.15};
    case FixtureTile::State::Working:
        return {QColor(0, 90, 200), 0.65};
    case FixtureTile::State::Passed:
        return {QColor(0, 150, 0), 0.9};
    case FixtureTile::State::Failed:
        return {QColor(200, 0, 0), 0.9};
    case FixtureTile::State::Unavailable:
        return {QColor(230, 150, 0), 0.8};
    }
    return {};
}

QColor Blend(const QColor &under, const QColor &over, double strength)
{
    const auto channel = [strength](int a, int b) {
        return static_cast<int>(a + (b - a) * strength + 0.5);
    };
    return QColor(channel(under.red(), over.red()), channel(under.green(), over.green()),
                  channel(under.blue(), over.blue()));
}

QString Capitalised(QString text)
{
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

QLabel *MakeLabel(QWidget *parent, int pixels, bool bold)
{
    auto *label = new QLabel(parent);
    QFont font = label->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

FixtureTile::FixtureTile(const QString &port, QWidget *parent)
    : QFrame(parent), port_(port), name_(MakeLabel(this, kNamePixels, true)),
      headline_(MakeLabel(this, kHeadlinePixels, true)),
      detail_(MakeLabel(this, kDetailPixels, false))
{
    setObjectName(QStringLiteral("tile"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(kFrameWidth);
    setAutoFillBackground(true);
    // Reachable with Tab, so that a screen reader reads each fixture in turn.
    setFocusPolicy(Qt::StrongFocus);
    // The grid shares its width out evenly; a long path is cut, and the tooltip holds it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // A device path is told apart by its last part; the whole path is in the tooltip.
    const QString shortName = port.startsWith(QLatin1Char('/')) ? QFileInfo(port).fileName() : port;
    name_->setText(shortName);
    setToolTip(port);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addWidget(headline_);
    layout->addWidget(detail_, 1, Qt::AlignTop);
    showStep(PortProvisioner::Step::Waiting, {});
    applyColours();
}

QString FixtureTile::headline() const
{
    return headline_->text();
}

QString FixtureTile::detail() const
{
    return detail_->text();
}

void FixtureTile::showStep(PortProvisioner::Step step, const QString &detail)
{
    step_ = step;
    switch (step) {
    case PortProvisioner::Step::Waiting:
        show(State::Waiting, QStringLiteral("\u25CC WAITING"), QStringLiteral("Put in a unit"));
        break;
    case PortProvisioner::Step::Unavailable:
        show(State::Unavailable, QStringLiteral("\u26A0 PORT UNAVAILABLE"), Capitalised(detail));
        break;
    case PortProvisioner::Step::Reading:
        show(State::Working, QStringLiteral("\u21BB READING"), QStringLiteral("Unit found"));
        break;
    case PortProvisioner::Step::Writing:
        show(State::Working, QStringLiteral("\u21BB WRITING"),
             QStringLiteral("Giving it its numbers"));
        break;
    case PortProvisioner::Step::Verifying:
        show(State::Working, QStringLiteral("\u21BB VERIFYING"), QStringLiteral("Reading back"));
        break;
    }
}

void FixtureTile::showDevice(const DeviceReport &report)
{
    const QString numbers = QStringLiteral("Serial %1\nMAC %2\nIP %3")
                                .arg(report.newSerial)
                                .arg(MacText(report.newMac), AddressText(report.newIp));
    switch (report.outcome) {
    case DeviceReport::Outcome::Verified:
        show(State::Passed, QStringLiteral("\u2714 PASS"), numbers, true);
        break;
    case DeviceReport::Outcome::AlreadyProvisioned:
        show(State::Passed, QStringLiteral("\u2714 PASS"),
             QStringLiteral("Provisioned before, left alone\nSerial %1\nMAC %2")
                 .arg(report.oldSerial)
                 .arg(MacText(report.oldMac)),
             true);
        break;
    case DeviceReport::Outcome::Failed:
        show(State::Failed, QStringLiteral("\u2718 FAIL"), failureText(report), true);
        break;
    case DeviceReport::Outcome::NumberedElsewhere:
        // Not this line's unit: the operator sets it aside rather than passing it on.
        show(State::Failed, QStringLiteral("\u2718 FAIL"),
             QStringLiteral("Numbered elsewhere, left alone\nSerial %1\nMAC %2")
                 .arg(report.oldSerial)
                 .arg(MacText(report.oldMac)),
             true);
        break;
    }
}

QString FixtureTile::failureText(const DeviceReport &report) const
{
    const bool readBack = step_ == PortProvisioner::Step::Verifying;
    switch (report.exchange) {
    case ExchangeOutcome::Timeout:
        return readBack ? tr("No answer when read back") : tr("No answer to the write");
    case ExchangeOutcome::ChecksumError:
        return readBack ? tr("Checksum error when read back")
                        : tr("Checksum error in the answer to the write");
    default:
        // Read back different, a port error with its advice, or the ledger's own words.
        return Capitalised(report.reason);
    }
}

void FixtureTile::showLabelFailed(const QString &reason)
{
    show(state_, headline(), detail() + tr("\nLabel not printed: %1").arg(reason), true);
}

void FixtureTile::showStopped(const QString &reason)
{
    show(State::Unavailable, QStringLiteral("\u26A0 STOPPED"), Capitalised(reason), true);
}

void FixtureTile::show(State state, const QString &headline, const QString &detail, bool announce)
{
    const bool restyle = state != state_;
    state_ = state;
    headline_->setText(headline);
    detail_->setText(detail);
    setAccessibleName(QStringLiteral("%1: %2").arg(port_, headline));
    setAccessibleDescription(detail);
    if (restyle) {
        applyColours();
    }
    if (announce) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void FixtureTile::applyColours()
{
    const QPalette desktop = parentWidget() ? parentWidget()->palette() : QPalette();
    const Look look = LookOf(state_);
    const QColor fill = Blend(desktop.color(QPalette::Window), look.hue, look.strength);
    // Black or white, whichever reads better: one of them always reaches 4.5:1.
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor text = Contrast(black, fill) >= Contrast(white, fill) ? black : white;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, fill);
    palette.setColor(QPalette::WindowText, text);
    setPalette(palette);
}

void FixtureTile::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::ParentChange) {
        applyColours();
    }
}

void FixtureTile::focusInEvent(QFocusEvent *event)
{
    QFrame::focusInEvent(event);
    setLineWidth(kFocusFrameWidth);
}

void FixtureTile::focusOutEvent(QFocusEvent *event)
{
    QFrame::focusOutEvent(event);
    setLineWidth(kFrameWidth);
}

} // namespace quillon
