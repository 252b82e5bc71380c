#pragma once

#include "commands.h"
#include "exchange.h"
#include "portmap.h"
#include "windowinterface.h"

#include <QWidget>

#include <array>
#include <memory>

class QLineEdit;

namespace quillon {

namespace Ui {
class main_frm;
}

class FieldEditor;
class PortPicker;

// The tool's one window: the controls of the form, the port pick and the Qt side of the window
// interface. The editing rules of the settings boxes live in FieldEditor.
class main_frm : public QWidget, public WindowInterface
{
    Q_OBJECT
public:
    explicit main_frm(PortMap portMap, QWidget *parent = nullptr);
    ~main_frm() override;

    Exchange &exchange() { return exchange_; }
    Commands &commands() { return commands_; }
    FieldEditor &fields() { return *fields_; }

    QString statusText() const override;
    void setStatusText(const QString &text) override;
    void setStatusColor(int color) override;
    void repaintStatus() override;

    void setButtonEnabled(CommandButton button, bool enabled) override;
    QString formatCaption() const override { return formatCaption_; }
    void setFormatCaption(const QString &caption) override;

    QString boxText(Box box) const override;
    void setBoxText(Box box, const QString &text) override;
    void focusBox(Box box) override;

    QString portText() const override;

    double progressValue() const override { return progressValue_; }
    void setProgressValue(double value) override;
    double progressMaximum() const override;

    void setBusyPointer(bool busy) override;

    bool confirmFormat() override;

private:
    void Form_Load();
    void comports_Click();
    QLineEdit *edit(Box box) const { return boxes_[BoxIndex(box)]; }
    QWidget *button(CommandButton button) const;

    std::unique_ptr<Ui::main_frm> ui_;
    Exchange exchange_;
    Commands commands_;
    std::array<QLineEdit *, kBoxCount> boxes_{};
    FieldEditor *fields_ = nullptr;
    PortPicker *picker_ = nullptr;
    // The command button that had the keyboard focus when its exchange disabled it.
    QWidget *focusOwner_ = nullptr;
    QString formatCaption_ = QString::fromLatin1(kFormatCaption);
    // The bar shows whole steps; the value it stands for may be a real number.
    double progressValue_ = 0;
};

} // namespace quillon
