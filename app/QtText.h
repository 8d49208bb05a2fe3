// Text between the program (code page 932) and the toolkit (QString).
#pragma once

#include <QString>
#include <string>
#include <string_view>

// Code page 932 bytes as a QString and back.
QString FromCp(std::string_view cp932);
std::string ToCp(const QString& text);
