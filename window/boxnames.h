#pragma once

#include "protocol/settingsboxes.h"

#include <QString>

namespace quillon {

// Object name of the box in the window form ("ipadr1").
QString BoxObjectName(Box box);

} // namespace quillon
