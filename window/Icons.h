// Icon 128 as XPM images, 32 x 32 and 16 x 16, 16 colours at most.
#pragma once

namespace res {
const char* const* MainIcon32();
const char* const* MainIcon16();
}  // namespace res
