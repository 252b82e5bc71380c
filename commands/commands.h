#pragma once

#include "setupframe.h"

#include <QString>

namespace quillon {

class Exchange;
class WindowInterface;

// The operator's three device commands.
class Commands
{
public:
    Commands(Exchange &exchange, WindowInterface &window);

    void read_setup_Click();
    void write_setup_Click();
    // Starts a format after the warning, or aborts the running one.
    void button_format_flash_Click();

private:
    // Appends the command's log label and writes its request, byte by byte.
    void SendRequest(const QString &label, const Bytes &frame);

    Exchange &exchange_;
    WindowInterface &window_;
};

} // namespace quillon
