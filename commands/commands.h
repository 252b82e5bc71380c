#pragma once

namespace quillon {

class Exchange;
class FrontEnd;

// The operator's three device commands.
class Commands
{
public:
    Commands(Exchange &exchange, FrontEnd &frontEnd);

    void read_setup_Click();
    void write_setup_Click();
    // Starts a format after the warning, or aborts the running one.
    void button_format_flash_Click();

private:
    Exchange &exchange_;
    FrontEnd &frontEnd_;
};

} // namespace quillon
