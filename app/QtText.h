// Text between the program (code page 932) and the toolkit (QString), and
// what the window's edits and up-downs make of a text. Qt Core only: the
// batch mode uses it without loading the widget libraries.
#pragma once

#include <QString>
#include <string>
#include <string_view>

// Code page 932 bytes as a QString and back.
QString FromCp(std::string_view cp932);
std::string ToCp(const QString& text);

// An edit holds at most this many UTF-16 units (the toolkit's default).
constexpr int kEditMaxLength = 32767;
// The text an edit holds after being given `text`.
inline QString EditText(const QString& text) {
    return text.left(kEditMaxLength);
}

// An up-down's position read from its buddy's text: the number when the
// text (blanks around it ignored) is a whole decimal number between minPos
// and maxPos, which then becomes `lastValid`; otherwise `lastValid`, with
// *error set.
int UpDownPos(const QString& text, int minPos, int maxPos, int& lastValid, bool* error = nullptr);
