// What the dialog's edits and up-downs make of a text: one rule for the
// window and the batch mode alike, without the toolkit.
#pragma once

#include <string>
#include <string_view>

// An edit holds at most this many UTF-16 units.
constexpr int kEditMaxLength = 32767;

// The text an edit holds after being given `utf8`: cut after
// kEditMaxLength UTF-16 units.
std::string EditTextOf(std::string_view utf8);

// An up-down's position read from its buddy's text (UTF-8): the number when
// the text is a whole decimal number between minPos and maxPos, which then
// becomes `lastValid`; otherwise `lastValid`, with *error set. The number is
// read with blanks (Unicode white space) around it ignored; a NUL ends it;
// then an optional sign, ASCII digits only, int range.
int UpDownPosition(std::string_view utf8, int minPos, int maxPos, int& lastValid,
                   bool* error = nullptr);
