// Text between the program (code page 932) and the toolkit (QString), and
// how the window's up-downs read their number.
#pragma once

#include <QString>
#include <string>
#include <string_view>

// Code page 932 bytes as a QString and back.
QString FromCp(std::string_view cp932);
std::string ToCp(const QString& text);

// An up-down's position read from its buddy's text: the number when the
// text (blanks around it ignored) is a whole decimal number between minPos
// and maxPos, which then becomes `lastValid`; otherwise `lastValid`, with
// *error set.
int UpDownPos(const QString& text, int minPos, int maxPos, int& lastValid, bool* error = nullptr);
