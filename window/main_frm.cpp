#include "main_frm.h"

#include "colorvalue.h"
#include "fieldeditor.h"
#include "portadvice.h"
#include "portpicker.h"
#include "ui_main_frm.h"

#include <QMessageBox>
#include <QScreen>

#include <cmath>

// Resources of a static library must be pulled in by name, and only from the global namespace.
static void initResources()
{
    Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {

constexpr char kWindowIcon[] = ":/quillon/icon.png";
constexpr char kFormatWarningTitle[] = "Format Flash";
constexpr char kFormatWarningText[] = "WARNING: Formatting will erase ALL files on drive F:";
constexpr char kNoUsablePort[] = "No usable serial port: see the tooltip";

QString FromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

main_frm::main_frm(PortMap portMap, QWidget *parent)
    : QWidget(parent), ui_(std::make_unique<Ui::main_frm>()), exchange_(*this, std::move(portMap)),
      commands_(exchange_, *this)
{
    initResources();
    ui_->setupUi(this);
    setWindowIcon(QIcon(QString::fromLatin1(kWindowIcon)));

    for (int i = 0; i < kBoxCount; ++i) {
        boxes_[i] = findChild<QLineEdit *>(FromView(BoxObjectName(BoxAt(i))));
        boxes_[i]->setAccessibleName(FromView(BoxOperatorName(BoxAt(i))));
    }
    fields_ = new FieldEditor(boxes_, *ui_->ena_serialno, *ui_->write_setup, exchange_, this);

    picker_ = new PortPicker(*ui_->comports, this);

    connect(picker_, &PortPicker::picked, this, &main_frm::comports_Click);
    connect(ui_->read_setup, &QPushButton::clicked, this, [this] { commands_.read_setup_Click(); });
    connect(ui_->write_setup, &QPushButton::clicked, this,
            [this] { commands_.write_setup_Click(); });
    connect(ui_->button_format_flash, &QPushButton::clicked, this,
            [this] { commands_.button_format_flash_Click(); });
    connect(ui_->default_values, &QPushButton::clicked, fields_,
            &FieldEditor::default_values_Click);
    connect(ui_->closebutton, &QPushButton::clicked, this, &QWidget::close);

    Form_Load();

    if (const QScreen *display = screen()) {
        move(display->availableGeometry().center() - rect().center());
    }
}

main_frm::~main_frm() = default;

void main_frm::Form_Load()
{
    for (const PortEntry &entry : exchange_.Form_Load()) {
        ui_->comports->addItem(entry.name);
        ui_->comports->setItemData(ui_->comports->count() - 1, entry.tooltip, Qt::ToolTipRole);
    }
    // The operator picks the port; the box must not suggest one.
    ui_->comports->setCurrentIndex(-1);
    // The log stays empty at start-up, so the box itself says why there is nothing to pick.
    if (ui_->comports->count() == 0) {
        ui_->comports->lineEdit()->setPlaceholderText(QString::fromLatin1(kNoUsablePort));
        ui_->comports->setToolTip(UnusablePortsText(UnusablePorts(exchange_.MSComm1().portMap())));
    }
}

void main_frm::comports_Click()
{
    if (ui_->comports->currentText().isEmpty()) {
        return;
    }
    // The running exchange owns the buttons and gives them back when it ends.
    if (exchange_.busy()) {
        return;
    }
    ui_->read_setup->setEnabled(true);
    if (!edit(Box::serialno)->text().isEmpty()) {
        ui_->write_setup->setEnabled(true);
    }
}

QString main_frm::statusText() const
{
    return ui_->status->text();
}

void main_frm::setStatusText(const QString &text)
{
    ui_->status->setText(text);
}

void main_frm::setStatusColor(int color)
{
    QPalette palette = ui_->status->palette();
    palette.setColor(QPalette::WindowText, ColorFromValue(color));
    ui_->status->setPalette(palette);
}

void main_frm::repaintStatus()
{
    ui_->status->repaint();
}

QWidget *main_frm::button(CommandButton button) const
{
    switch (button) {
    case CommandButton::read_setup:
        return ui_->read_setup;
    case CommandButton::write_setup:
        return ui_->write_setup;
    case CommandButton::button_format_flash:
        break;
    }
    return ui_->button_format_flash;
}

void main_frm::setButtonEnabled(CommandButton which, bool enabled)
{
    QWidget *widget = button(which);
    if (!enabled && focusWidget() == widget) {
        // Qt would hand the focus to the next control, Exit, where one more Space quits. The log
        // holds it instead, and a key pressed there does nothing.
        ui_->status->setFocus(Qt::OtherFocusReason);
        focusOwner_ = widget;
    }
    widget->setEnabled(enabled);
    // Back to the button, so that a repeated Space repeats the command; unless the operator
    // has moved the focus meanwhile.
    if (enabled && widget == focusOwner_) {
        if (focusWidget() == ui_->status) {
            widget->setFocus(Qt::OtherFocusReason);
        }
        focusOwner_ = nullptr;
    }
}

void main_frm::setFormatCaption(const QString &caption)
{
    formatCaption_ = caption;
    ui_->button_format_flash->setText(caption);
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

QString main_frm::portText() const
{
    return ui_->comports->currentText();
}

void main_frm::setProgressValue(double value)
{
    progressValue_ = value;
    ui_->bar_format_flash->setValue(static_cast<int>(std::lround(value)));
}

double main_frm::progressMaximum() const
{
    return ui_->bar_format_flash->maximum();
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
