#include "app/QtText.h"

#include <algorithm>

#include "platform/CodePage.h"

QString FromCp(std::string_view cp932) {
    return QString::fromStdString(platform::Cp932ToUtf8(cp932));
}

std::string ToCp(const QString& text) {
    return platform::Utf8ToCp932(text.toStdString());
}

int UpDownPos(const QString& text, int minPos, int maxPos, int& lastValid, bool* error) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    ok = ok && value >= std::min(minPos, maxPos) && value <= std::max(minPos, maxPos);
    if (ok) lastValid = value;
    if (error) *error = !ok;
    return lastValid;
}
