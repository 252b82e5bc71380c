// Temporary stub; the real commands follow.
#include "commands.h"

namespace quillon {

Commands::Commands(Exchange &exchange, WindowInterface &window)
    : exchange_(exchange), window_(window)
{
}
void Commands::read_setup_Click() {}
void Commands::write_setup_Click() {}
void Commands::button_format_flash_Click() {}

} // namespace quillon
