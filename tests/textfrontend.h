#pragma once

#include "commands/settingsform.h"

namespace quillon::test {

// A front end without a window: it keeps what an exchange shows as plain values, as a
// command-line program would.
class TextFrontEnd : public SettingsForm
{
public:
    QString portName() const override { return port; }

    void setLog(const QString &text) override { log = text; }
    void appendLog(const QString &text) override { log += text; }
    void setLogState(LogState state) override { logState = state; }
    void repaintLog() override {}

    void showControls(const CommandControls &shown) override { controls = shown; }

    QString boxText(Box box) const override { return boxes[BoxIndex(box)]; }
    void setBoxText(Box box, const QString &text) override { boxes[BoxIndex(box)] = text; }
    void focusBox(Box) override {}

    void setProgress(int value, int maximum) override
    {
        progress = value;
        progressMaximum = maximum;
    }

    bool confirmFormat() override { return confirm; }

    QString port;
    QString log;
    LogState logState = LogState::Running;
    CommandControls controls;
    BoxTexts<QString> boxes;
    int progress = 0;
    int progressMaximum = 0;
    bool confirm = true;
};

} // namespace quillon::test
