#include "window/main_frm.h"

#include "link/portadvice.h"
#include "ui_main_frm.h"
#include "window/fieldeditor.h"
#include "window/groupboxstyle.h"
#include "window/logcolors.h"
#include "window/portpicker.h"

#include <QGroupBox>
#include <QMessageBox>
#include <QScreen>
#include <QStyleFactory>

// Resources of a static library must be pulled in by name, and only from the global namespace.
static void initResources()
{
    Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {

// Each has a twice-as-large sibling named @2x that QIcon picks on high-resolution screens.
constexpr char kWindowIcon[] = ":/quillon/icon.png";
constexpr char kLogo[] = ":/quillon/logo.png";
constexpr QSize kLogoSize(142, 40);
constexpr char kFormatWarningTitle[] = "Format Flash";
constexpr char kFormatWarningText[] = "WARNING: Formatting will erase ALL files on drive F:";
constexpr char kFormatCaption[] = "Format Flash";
constexpr char kAbortCaption[] = "Abort";
constexpr char kNoUsablePort[] = "No usable serial port: see the tooltip";

} // namespace

main_frm::main_frm(PortMap portMap, QWidget *parent)
    : main_frm(PortScan(std::move(portMap)), parent)
{
}

main_frm::main_frm(PortScan scan, QWidget *parent)
    : QWidget(parent), ui_(std::make_unique<Ui::main_frm>()), exchange_(*this, PortMap()),
      commands_(exchange_, *this)
{
    initResources();
    ui_->setupUi(this);
    // A fresh instance of the application's style to wrap; one built elsewhere is left as it is.
    // Made after the form, so that it outlives the boxes that use it.
    if (QStyle *base = QStyleFactory::create(style()->name())) {
        auto *boxStyle = new GroupBoxStyle(base);
        boxStyle->setParent(this);
        for (QGroupBox *box : findChildren<QGroupBox *>()) {
            box->setStyle(boxStyle);
        }
    }
    setWindowIcon(QIcon(QString::fromLatin1(kWindowIcon)));
    ui_->logo->setPixmap(QIcon(QString::fromLatin1(kLogo)).pixmap(kLogoSize, devicePixelRatioF()));

    // In wire order.
    boxes_ = {ui_->serialno,    ui_->macadr1,     ui_->macadr2,     ui_->macadr3,
              ui_->macadr4,     ui_->macadr5,     ui_->macadr6,     ui_->ipadr1,
              ui_->ipadr2,      ui_->ipadr3,      ui_->ipadr4,      ui_->subnetmask1,
              ui_->subnetmask2, ui_->subnetmask3, ui_->subnetmask4, ui_->defgateway1,
              ui_->defgateway2, ui_->defgateway3, ui_->defgateway4, ui_->primdns1,
              ui_->primdns2,    ui_->primdns3,    ui_->primdns4,    ui_->secdns1,
              ui_->secdns2,     ui_->secdns3,     ui_->secdns4};
    for (int i = 0; i < kBoxCount; ++i) {
        boxes_[i]->setAccessibleName(QString::fromUtf8(BoxOperatorName(BoxAt(i))));
    }
    fields_ = new FieldEditor(boxes_, *ui_->ena_serialno, this);

    picker_ = new PortPicker(*ui_->comports, this);

    connect(picker_, &PortPicker::picked, this, &main_frm::comports_Click);
    connect(edit(Box::serialno), &QLineEdit::textChanged, this, &main_frm::serialno_Change);
    connect(ui_->read_setup, &QPushButton::clicked, this, [this] { commands_.read_setup_Click(); });
    connect(ui_->write_setup, &QPushButton::clicked, this,
            [this] { commands_.write_setup_Click(); });
    connect(ui_->button_format_flash, &QPushButton::clicked, this,
            [this] { commands_.button_format_flash_Click(); });
    connect(ui_->default_values, &QPushButton::clicked, fields_,
            &FieldEditor::default_values_Click);
    connect(ui_->closebutton, &QPushButton::clicked, this, &QWidget::close);

    Form_Load(scan);

    if (const QScreen *display = screen()) {
        move(display->availableGeometry().center() - rect().center());
    }
}

main_frm::~main_frm() = default;

void main_frm::Form_Load(PortScan &scan)
{
    for (const PortEntry &entry : exchange_.Form_Load(scan.take())) {
        ui_->comports->addItem(entry.name);
        ui_->comports->setItemData(ui_->comports->count() - 1, entry.tooltip, Qt::ToolTipRole);
        // Tells COM3 from COM4 for a screen reader, as the tooltip does for the eye.
        ui_->comports->setItemData(ui_->comports->count() - 1, entry.tooltip,
                                   Qt::AccessibleDescriptionRole);
    }
    // The operator picks the port; the box must not suggest one.
    ui_->comports->setCurrentIndex(-1);
    // The log stays empty at start-up, so the box itself says why there is nothing to pick.
    if (ui_->comports->count() == 0) {
        ui_->comports->lineEdit()->setPlaceholderText(QString::fromLatin1(kNoUsablePort));
        ui_->comports->setToolTip(UnusablePortsText(UnusablePorts(exchange_.scan())));
    }
}

void main_frm::comports_Click()
{
    if (ui_->comports->currentText().isEmpty()) {
        return;
    }
    exchange_.PortChosen(!edit(Box::serialno)->text().isEmpty());
}

void main_frm::serialno_Change()
{
    exchange_.SerialNumberChanged(!edit(Box::serialno)->text().isEmpty());
}

QString main_frm::portName() const
{
    return ui_->comports->currentText();
}

void main_frm::setLog(const QString &text)
{
    ui_->status->setText(text);
}

void main_frm::appendLog(const QString &text)
{
    ui_->status->setText(ui_->status->text() + text);
}

void main_frm::setLogState(LogState state)
{
    logState_ = state;
    applyLogColor();
}

void main_frm::applyLogColor()
{
    if (!logState_) {
        return;
    }
    const QColor color = LogColor(*logState_, this->palette());
    QPalette palette = ui_->status->palette();
    // A new palette on the label costs a style and layout pass even when the colour is the same:
    // green while an exchange runs and after its "OK".
    if (palette.isBrushSet(QPalette::Active, QPalette::WindowText) &&
        palette.color(QPalette::WindowText) == color) {
        return;
    }
    palette.setColor(QPalette::WindowText, color);
    ui_->status->setPalette(palette);
}

void main_frm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        applyLogColor();
    }
    QWidget::changeEvent(event);
}

void main_frm::repaintLog()
{
    ui_->status->repaint();
}

void main_frm::showControls(const CommandControls &controls)
{
    setBusyPointer(controls.busy);
    setCommandEnabled(ui_->read_setup, controls.readEnabled);
    setCommandEnabled(ui_->write_setup, controls.writeEnabled);
    setCommandEnabled(ui_->button_format_flash, controls.formatEnabled);
    ui_->button_format_flash->setText(
        QString::fromLatin1(controls.formatIsAbort ? kAbortCaption : kFormatCaption));
}

void main_frm::setCommandEnabled(QWidget *button, bool enabled)
{
    if (!enabled && focusWidget() == button) {
        // Qt would hand the focus to the next control, Exit, where one more Space quits. The log
        // holds it instead, and a key pressed there does nothing.
        ui_->status->setFocus(Qt::OtherFocusReason);
        focusOwner_ = button;
    }
    button->setEnabled(enabled);
    // Back to the button, so that a repeated Space repeats the command; unless the operator
    // has moved the focus meanwhile.
    if (enabled && button == focusOwner_) {
        if (focusWidget() == ui_->status) {
            button->setFocus(Qt::OtherFocusReason);
        }
        focusOwner_ = nullptr;
    }
}

QString main_frm::boxText(Box box) const
{
    return edit(box)->text();
}

void main_frm::setBoxText(Box box, const QString &text)
{
    fields_->setBoxText(box, text);
}

void main_frm::focusBox(Box box)
{
    if (edit(box)->isEnabled()) {
        edit(box)->setFocus();
    }
}

void main_frm::setProgress(int value, int maximum)
{
    ui_->bar_format_flash->setMaximum(maximum);
    ui_->bar_format_flash->setValue(value);
}

void main_frm::setBusyPointer(bool busy)
{
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

bool main_frm::confirmFormat()
{
    QMessageBox warning(QMessageBox::Warning, QString::fromLatin1(kFormatWarningTitle),
                        QString::fromLatin1(kFormatWarningText),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
    warning.setDefaultButton(QMessageBox::Ok);
    return warning.exec() == QMessageBox::Ok;
}

} // namespace quillon
