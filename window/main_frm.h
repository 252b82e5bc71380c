#pragma once

#include "commands/commands.h"
#include "commands/settingsform.h"
#include "link/exchange.h"
#include "link/portmap.h"
#include "link/portscan.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QLineEdit;

namespace quillon {

namespace Ui {
class main_frm;
}

class FieldEditor;
class PortPicker;

// The tool's one window: the controls of the form, the port pick and the Qt side of the front
// end. The editing rules of the settings boxes live in FieldEditor.
class main_frm : public QWidget, public SettingsForm
{
    Q_OBJECT
public:
    explicit main_frm(PortMap portMap, QWidget *parent = nullptr);
    // The scan may still run on its worker while the form is built; it is complete before the
    // constructor returns, so before the window can show.
    explicit main_frm(PortScan scan, QWidget *parent = nullptr);
    ~main_frm() override;

    Exchange &exchange() { return exchange_; }
    Commands &commands() { return commands_; }
    FieldEditor &fields() { return *fields_; }

    QString portName() const override;

    void setLog(const QString &text) override;
    void appendLog(const QString &text) override;
    void setLogState(LogState state) override;
    void repaintLog() override;

    void showControls(const CommandControls &controls) override;

    QString boxText(Box box) const override;
    void setBoxText(Box box, const QString &text) override;
    void focusBox(Box box) override;

    void setProgress(int value, int maximum) override;

    bool confirmFormat() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void Form_Load(PortScan &scan);
    void comports_Click();
    void serialno_Change();
    QLineEdit *edit(Box box) const { return boxes_[BoxIndex(box)]; }
    void applyLogColor();
    // Set on the window rather than the application, so entering busy twice never leaves the
    // hourglass behind.
    void setBusyPointer(bool busy);
    // Enables or disables a command button without ever handing the focus to Exit.
    void setCommandEnabled(QWidget *button, bool enabled);

    std::unique_ptr<Ui::main_frm> ui_;
    Exchange exchange_;
    Commands commands_;
    std::array<QLineEdit *, kBoxCount> boxes_{};
    FieldEditor *fields_ = nullptr;
    // What the log shows; empty before the first exchange, when the label keeps its design
    // colour. Kept so the colour can follow a change between light and dark.
    std::optional<LogState> logState_;
    PortPicker *picker_ = nullptr;
    // The command button that had the keyboard focus when its exchange disabled it.
    QWidget *focusOwner_ = nullptr;
};

} // namespace quillon
