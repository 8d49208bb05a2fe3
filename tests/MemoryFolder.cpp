#include "MemoryFolder.h"

namespace testutil {
namespace {

using platform::OutputFile;
using platform::WriteFailure;

class MemoryFile : public OutputFile {
public:
    explicit MemoryFile(MemoryFolder& folder) : folder_(folder) {}
    bool Create(std::string_view name) override { return Open(name, false); }
    bool CreateUnlessSame(std::string_view name) override { return Open(name, true); }
    bool IsOpen() const override { return open_; }

    bool Close() override {
        std::lock_guard<std::mutex> hold(folder_.busy);
        const bool was = open_;
        open_ = false;
        written_ += text_;
        text_.clear();
        if (!was) {
            outcome_ = Outcome::kNone;
            return false;
        }
        auto there = folder_.files.find(name_);
        if (compare_ && there != folder_.files.end() && there->second.bytes == written_) {
            outcome_ = Outcome::kUnchanged;
            return true;
        }
        if (compare_ && folder_.readOnly.count(name_)) {
            outcome_ = Outcome::kNotCreated;
            failure_ = WriteFailure::kOther;
            return false;
        }
        ++folder_.writes;
        MemoryFolder::File& file = folder_.files[name_];
        if (there == folder_.files.end()) file.id = folder_.NextIdentity();
        identity_ = file.id;
        const bool whole = folder_.cut.count(name_) == 0;
        file.bytes = whole ? written_ : written_.substr(0, written_.size() / 2);
        outcome_ = whole ? Outcome::kWritten : Outcome::kNotWritten;
        failure_ = whole ? WriteFailure::kNone : WriteFailure::kOther;
        return whole;
    }

private:
    bool Open(std::string_view name, bool compare) {
        if (open_) Close();
        std::lock_guard<std::mutex> hold(folder_.busy);
        text_.clear();
        written_.clear();
        outcome_ = Outcome::kNone;
        failure_ = WriteFailure::kNone;
        name_ = folder_.Key(name);
        compare_ = compare;
        if (auto refused = folder_.refused.find(name_); refused != folder_.refused.end()) {
            failure_ = refused->second;
            return false;
        }
        if (folder_.windowsNames && platform::IsWindowsForbiddenName(name)) {
            failure_ = WriteFailure::kWindowsName;
            return false;
        }
        if (folder_.IsProtected(name_)) {
            failure_ = WriteFailure::kProtected;
            return false;
        }
        if (auto there = folder_.files.find(name_); there != folder_.files.end())
            identity_ = there->second.id;
        open_ = true;
        return true;
    }
    void Flush() override {
        written_ += text_;
        text_.clear();
    }

    MemoryFolder& folder_;
    std::string name_;
    std::string written_;
    bool compare_ = false;
    bool open_ = false;
};

class Lent : public platform::OutputFolder {
public:
    explicit Lent(MemoryFolder& folder) : folder_(folder) {}
    Lock TryLock() override { return folder_.TryLock(); }
    void Unlock() override { folder_.Unlock(); }
    void NoteEntries() override { folder_.NoteEntries(); }
    void Protect(std::string_view path) override { folder_.Protect(path); }
    bool IgnoresCase() const override { return folder_.ignoresCase; }
    std::unique_ptr<OutputFile> NewFile() override { return folder_.NewFile(); }

private:
    MemoryFolder& folder_;
};

}  // namespace

std::string MemoryFolder::Key(std::string_view name) const {
    std::string key(name);
    if (ignoresCase)
        for (char& c : key) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return key;
}

std::unique_ptr<platform::OutputFolder> MemoryFolder::Lend() { return std::make_unique<Lent>(*this); }

void MemoryFolder::Put(const std::string& name, std::string bytes) {
    files[name] = {std::move(bytes), NextIdentity()};
}

void MemoryFolder::Protect(std::string_view path) {
    const std::string prefix = path_ + "/";
    if (path.starts_with(prefix)) protected_.insert(std::string(path.substr(prefix.size())));
}

std::unique_ptr<OutputFile> MemoryFolder::NewFile() { return std::make_unique<MemoryFile>(*this); }

}  // namespace testutil
