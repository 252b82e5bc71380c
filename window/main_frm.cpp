#include "main_frm.h"
namespace quillon {
main_frm::main_frm(PortMap, QWidget *parent) : QWidget(parent) {}
} // namespace quillon
