#include "data/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace data {
namespace {

uint64_t Le(std::string_view b, size_t at, int width) {
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
    return v;
}

bool EqualsAsciiFolded(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

constexpr uint32_t kEnd = 0x06054b50, kEnd64 = 0x06064b50, kLocator64 = 0x07064b50;
constexpr uint32_t kEntry = 0x02014b50, kLocal = 0x04034b50;

}  // namespace

bool ZipArchive::Open(std::string_view b) {
    bytes_ = b;
    members_.clear();
    // The end record, within the last 64 KiB and its own 22 bytes, its
    // comment reaching to the end.
    if (b.size() < 22) return false;
    size_t end = std::string_view::npos;
    for (size_t at = b.size() - 22;; --at) {
        if (Le(b, at, 4) == kEnd && at + 22 + Le(b, at + 20, 2) == b.size()) {
            end = at;
            break;
        }
        if (at == 0 || b.size() - at > 22 + 0xFFFF) break;
    }
    if (end == std::string_view::npos) return false;
    uint64_t count = Le(b, end + 10, 2);
    uint64_t directory = Le(b, end + 16, 4);
    // ZIP64: the locator before the end record names the larger one.
    if ((count == 0xFFFF || directory == 0xFFFFFFFF) && end >= 20 && Le(b, end - 20, 4) == kLocator64) {
        const uint64_t end64 = Le(b, end - 12, 8);
        if (end64 > end - 20 || end - 20 - end64 < 56 || Le(b, end64, 4) != kEnd64) return false;
        count = Le(b, end64 + 32, 8);
        directory = Le(b, end64 + 48, 8);
    }
    uint64_t at = directory;
    for (uint64_t i = 0; i < count; ++i) {
        if (at > b.size() || b.size() - at < 46 || Le(b, at, 4) != kEntry) return false;
        Member m;
        m.flags = static_cast<uint16_t>(Le(b, at + 8, 2));
        m.method = static_cast<uint16_t>(Le(b, at + 10, 2));
        m.crc = static_cast<uint32_t>(Le(b, at + 16, 4));
        m.packedSize = Le(b, at + 20, 4);
        m.size = Le(b, at + 24, 4);
        const uint64_t nameLength = Le(b, at + 28, 2), extraLength = Le(b, at + 30, 2),
                       commentLength = Le(b, at + 32, 2);
        m.offset = Le(b, at + 42, 4);
        if (b.size() - at - 46 < nameLength + extraLength + commentLength) return false;
        m.name.assign(b.substr(at + 46, nameLength));
        // ZIP64 sizes and offset, in that order, for the fields that ask.
        for (uint64_t e = at + 46 + nameLength, last = e + extraLength; e + 4 <= last;) {
            const uint64_t id = Le(b, e, 2), length = Le(b, e + 2, 2);
            if (e + 4 + length > last) return false;
            if (id == 1) {
                uint64_t f = e + 4;
                for (uint64_t* field : {&m.size, &m.packedSize, &m.offset}) {
                    if (*field != 0xFFFFFFFF) continue;
                    if (f + 8 > e + 4 + length) return false;
                    *field = Le(b, f, 8);
                    f += 8;
                }
            }
            e += 4 + length;
        }
        members_.push_back(std::move(m));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

const ZipArchive::Member* ZipArchive::Find(std::string_view name) const {
    for (const Member& m : members_)
        if (EqualsAsciiFolded(m.name, name)) return &m;
    return nullptr;
}

ZipArchive::Read ZipArchive::Extract(const Member& m, std::string& out, uint64_t limit) const {
    out.clear();
    if (m.flags & 1) return Read::kEncrypted;
    const std::string_view b = bytes_;
    if (m.offset > b.size() || b.size() - m.offset < 30 || Le(b, m.offset, 4) != kLocal) return Read::kDamaged;
    const uint64_t start = m.offset + 30 + Le(b, m.offset + 26, 2) + Le(b, m.offset + 28, 2);
    if (start > b.size() || b.size() - start < m.packedSize) return Read::kDamaged;
    const std::string_view packed = b.substr(start, m.packedSize);
    if (m.size > limit) return Read::kTooLarge;
    // Deflate gives at most 1032 bytes for each: a larger size is a lie,
    // not to be allocated.
    if (m.method == 8 && m.size / 1032 > packed.size() + 1) return Read::kDamaged;
    if (m.method == 0) {
        if (m.packedSize != m.size) return Read::kDamaged;
        out.assign(packed);
    } else if (m.method == 8) {
        out.resize(m.size);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return Read::kDamaged;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        int r = Z_OK;
        // In pieces an unsigned int can count.
        for (uint64_t in = packed.size(), room = out.size(); r == Z_OK;) {
            const uInt giveIn = static_cast<uInt>(std::min<uint64_t>(in, 1u << 30));
            const uInt giveOut = static_cast<uInt>(std::min<uint64_t>(room, 1u << 30));
            z.avail_in = giveIn;
            z.avail_out = giveOut;
            r = inflate(&z, Z_NO_FLUSH);
            in -= giveIn - z.avail_in;
            room -= giveOut - z.avail_out;
            if (r == Z_OK && giveIn == z.avail_in && giveOut == z.avail_out) r = Z_BUF_ERROR;  // no progress
        }
        const bool whole = r == Z_STREAM_END && z.total_out == m.size;
        inflateEnd(&z);
        if (!whole) return Read::kDamaged;
    } else {
        return Read::kDamaged;
    }
    const uLong crc = crc32_z(0L, reinterpret_cast<const Bytef*>(out.data()), out.size());
    return crc == m.crc ? Read::kRead : Read::kDamaged;
}

}  // namespace data
