#pragma once
// Placeholder until the window lands.
#include "portmap.h"
#include <QWidget>
namespace quillon {
class main_frm : public QWidget
{
public:
    explicit main_frm(PortMap portMap, QWidget *parent = nullptr);
};
} // namespace quillon
