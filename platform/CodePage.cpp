#include "platform/CodePage.h"

#include <iconv.h>

#include <bitset>
#include <cerrno>
#include <memory>

namespace platform {
namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// One converter per direction and thread, opened on first use: opening a
// converter costs far more than converting a file name.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // skip(in, left) tells how many input bytes an unconvertible character spans.
    template <typename Skip>
    std::string Run(std::string_view in, Skip skip) {
        std::string out;
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            out.assign(in.size(), '?');
            return out;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 2 + 8);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL: one character cannot be converted.
            size_t n = skip(reinterpret_cast<const unsigned char*>(src), srcLeft);
            src += n;
            srcLeft -= n;
            if (out.size() - used < 1) out.resize(out.size() * 2);
            out[used++] = '?';
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t cd_;
};

// A lead byte takes the next byte with it only when that is a trail byte;
// otherwise it stands alone, so that "?" never swallows a character after
// it (the dot before an extension, say).
size_t SkipCp932(const unsigned char* p, size_t left) {
    return Cp932UnitLength(p, left);
}

size_t SkipUtf8(const unsigned char* p, size_t left) {
    size_t n = 1;
    if (p[0] >= 0xF0 && p[0] <= 0xF4)
        n = 4;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF)
        n = 3;
    else if (p[0] >= 0xC2 && p[0] <= 0xDF)
        n = 2;
    // A sequence cut short is one malformed character, not one per byte.
    size_t i = 1;
    while (i < n && i < left && (p[i] & 0xC0) == 0x80) ++i;
    return i;
}

}  // namespace

bool Cp932UnitConverts(const unsigned char* p, size_t length) {
    // Every single byte and pair, asked of the converter once.
    static const std::unique_ptr<std::bitset<0x10000>> converts = [] {
        auto bits = std::make_unique<std::bitset<0x10000>>();
        Converter conv("UTF-8", "CP932");
        auto ok = [&conv](std::string_view unit) {
            const std::string out = conv.Run(unit, SkipCp932);
            return out.find('?') == std::string::npos || unit == "?";
        };
        for (unsigned b = 0; b < 0x100; ++b) bits->set(b, ok(std::string(1, static_cast<char>(b))));
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsCp932TrailByte(static_cast<unsigned char>(trail))) continue;
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                bits->set(lead << 8 | trail, ok(std::string_view(pair, 2)));
            }
        }
        return bits;
    }();
    if (length == 1) return converts->test(p[0]);
    return length == 2 && converts->test(static_cast<size_t>(p[0]) << 8 | p[1]);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    if (IsAscii(cp932)) return std::string(cp932);
    thread_local Converter conv("UTF-8", "CP932");
    return conv.Run(cp932, SkipCp932);
}

std::string Utf8ToCp932(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    thread_local Converter conv("CP932", "UTF-8");
    return conv.Run(utf8, SkipUtf8);
}

}  // namespace platform
