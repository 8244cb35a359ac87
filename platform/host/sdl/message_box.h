// Message boxes on the SDL host: SDL's own box, or, where none can be shown, one line of standard
// error and the box's first button.
#pragma once

#include <string>

#include "platform/host/codes.h"

namespace host {

BoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, BoxButtons kind, bool bError);

}  // namespace host
