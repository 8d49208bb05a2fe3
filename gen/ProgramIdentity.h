// Name, version and copyright notice: the window title and the head of the
// index page show all three.
#pragma once

inline constexpr const char* kProgramName = "Quolix";
inline constexpr const char* kProgramVersion = "ver.0.9i";
inline constexpr const char* kCopyright = "Copyright (C) 2026 the Quolix developers";
