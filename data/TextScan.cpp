#include "data/TextScan.h"

#include <cstring>

int IsLeadByte(const char* p) {
    return (p && IsLeadByteValue(static_cast<unsigned char>(*p))) ? 1 : 0;
}

const char* FindCharMb(const char* s, int ch) {
    if (!s || !*s) return nullptr;
    const char c = static_cast<char>(ch & 0xFF);
    if (c == 0) return nullptr;
    while (*s) {
        if (IsLeadByte(s)) {
            s += s[1] ? 2 : 1;
        } else {
            if (*s == c) return s;
            ++s;
        }
    }
    return nullptr;
}

int EndsInLeadByte(const char* s, int n) {
    int cls = kSingleByte;
    if (!s || !*s) return cls;
    for (int i = 0; i <= n && s[i]; ++i) {
        if (cls == kFirstByte)
            cls = kSecondByte;
        else
            cls = IsLeadByte(s + i) ? kFirstByte : kSingleByte;
    }
    return cls;
}

bool TextEquals(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}
