// Texts of the product that more than one layer shows.
#pragma once

// Caption of the warning boxes (the CSV reader's, the run's).
inline constexpr const char* kWarningCaption = "警告";

namespace platform {

// A file too large for the memory to be had.
inline constexpr char kNoMemoryText[] = "メモリが足りないため読み込めませんでした．";

}  // namespace platform
