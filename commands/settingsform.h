#pragma once

#include "link/frontend.h"

namespace quillon {

// What the window's commands need beyond what the engine shows: the settings boxes the operator
// edits, and the warning before a format.
class SettingsForm : public FrontEnd
{
public:
    virtual QString boxText(Box box) const = 0;
    // Points the operator at a box whose text was refused.
    virtual void focusBox(Box box) = 0;
    // The warning before a format; true when the operator chose to go on.
    virtual bool confirmFormat() = 0;
};

} // namespace quillon
