#pragma once

namespace quillon {

class Exchange;
class SettingsForm;

// The operator's three device commands.
class Commands
{
public:
    Commands(Exchange &exchange, SettingsForm &form);

    void read_setup_Click();
    void write_setup_Click();
    // Starts a format after the warning, or aborts the running one.
    void button_format_flash_Click();

private:
    Exchange &exchange_;
    SettingsForm &form_;
};

} // namespace quillon
