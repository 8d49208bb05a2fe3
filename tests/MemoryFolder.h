// An output folder in memory, for tests of the writing: files by name, and
// failures wherever a test puts them.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "platform/OutputFolder.h"

namespace testutil {

class MemoryFolder : public platform::OutputFolder {
public:
    // `path`: the folder's name, to which protected paths are taken.
    explicit MemoryFolder(std::string path) : path_(std::move(path)) {}

    struct File {
        std::string bytes;
        platform::FileIdentity id;
    };
    std::map<std::string, File> files;
    // Names that cannot be created, and why.
    std::map<std::string, platform::WriteFailure> refused;
    // Names whose bytes do not all arrive (a full disk): cut in half.
    std::set<std::string> cut;
    // Names that compare but cannot be written once they differ (a
    // read-only file): left as they were.
    std::set<std::string> readOnly;
    Lock lock = Lock::kHeld;  // what TryLock answers
    bool ignoresCase = false;  // names that differ only in ASCII case are one file
    bool windowsNames = false;  // refuses the names Windows refuses
    int writes = 0;           // files opened for writing

    // Puts a file there, as if written before.
    void Put(const std::string& name, std::string bytes);

    Lock TryLock() override { return lock; }
    void Unlock() override {}
    void NoteEntries() override {}
    void Protect(std::string_view path) override;
    std::unique_ptr<platform::OutputFile> NewFile() override;
    // A folder that stands for this one and may go before it (a run takes
    // its folder and lets it go at its end).
    std::unique_ptr<platform::OutputFolder> Lend();

    bool IsProtected(const std::string& name) const { return protected_.count(name) > 0; }
    platform::FileIdentity NextIdentity() { return {1, ++inodes_}; }
    // The name under which a file is kept.
    std::string Key(std::string_view name) const;
    // Held while a file of the folder is opened or closed: a run writes
    // with two writers at once.
    std::mutex busy;

private:
    std::string path_;
    std::set<std::string> protected_;
    uint64_t inodes_ = 0;
};

}  // namespace testutil
