#include "app/QtText.h"

#include "platform/CodePage.h"

QString FromCp(std::string_view cp932) {
    return QString::fromStdString(platform::Cp932ToUtf8(cp932));
}

std::string ToCp(const QString& text) {
    return platform::Utf8ToCp932(text.toStdString());
}
