#include "window/Icons.h"

#include "window/icon16.xpm"
#include "window/icon32.xpm"

namespace res {
const char* const* MainIcon32() { return icon32_xpm; }
const char* const* MainIcon16() { return icon16_xpm; }
}  // namespace res
