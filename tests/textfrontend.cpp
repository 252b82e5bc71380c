#include "textfrontend.h"

namespace quillon::test {

void TextFrontEnd::setProgress(int value, int maximum)
{
    progress = value;
    progressMaximum = maximum;
}

} // namespace quillon::test
