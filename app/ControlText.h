// What the window's edits and up-downs make of a text, without the toolkit:
// the batch mode keeps the controls' state with these and loads no Qt. The
// window's own controls do the same through Qt; the tests hold the two
// side by side.
#pragma once

#include <string>
#include <string_view>

// An edit holds at most this many UTF-16 units (the toolkit's default).
constexpr int kEditMaxLength = 32767;

// The text (UTF-8) an edit holds after being given `cp932`: the characters
// of the code page 932 bytes, cut after kEditMaxLength UTF-16 units.
std::string EditTextOf(std::string_view cp932);

// An up-down's position read from its buddy's text (UTF-8): the number when
// the text is a whole decimal number between minPos and maxPos, which then
// becomes `lastValid`; otherwise `lastValid`, with *error set. The number is
// read as the toolkit reads it: blanks (Unicode white space) around it are
// ignored, a NUL ends it, an optional sign, ASCII digits only, int range.
int UpDownPosition(std::string_view utf8, int minPos, int maxPos, int& lastValid,
                   bool* error = nullptr);
