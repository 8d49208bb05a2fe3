// A zip archive held in memory, read where no zip library is to be had
// (the Windows build): its directory, and a member's bytes, stored or
// deflated, checked against their size and CRC.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {

class ZipArchive {
public:
    struct Member {
        std::string name;
        uint16_t flags = 0;
        uint16_t method = 0;
        uint32_t crc = 0;
        uint64_t packedSize = 0;
        uint64_t size = 0;
        uint64_t offset = 0;  // of its local header
    };

    // Reads the directory of the archive in `bytes`, which must outlive
    // it; false when there is none to read.
    bool Open(std::string_view bytes);
    // The member of that name (ASCII case aside), or null.
    const Member* Find(std::string_view name) const;

    enum class Read { kRead, kEncrypted, kDamaged, kTooLarge };
    // The member's bytes, up to `limit` of them (kTooLarge past it).
    Read Extract(const Member& member, std::string& out, uint64_t limit) const;

private:
    std::string_view bytes_;
    std::vector<Member> members_;
};

}  // namespace data
