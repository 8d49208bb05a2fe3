#include "TestUtil.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/CodePage.h"

extern char** environ;

namespace testutil {

HeadlessEnvironment::HeadlessEnvironment() {
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
            entry.starts_with("QT_QPA_PLATFORM="))
            continue;
        strings_.push_back(entry);
    }
    for (std::string& e : strings_) envp_.push_back(e.data());
    envp_.push_back(nullptr);
}

void HeadlessEnvironment::Append(std::string_view name, std::string_view value) {
    const std::string key = std::string(name) + "=";
    bool found = false;
    for (std::string& e : strings_) {
        if (!e.starts_with(key)) continue;
        e += (e.size() > key.size() ? ":" : "") + std::string(value);
        found = true;
    }
    if (!found) strings_.push_back(key + std::string(value));
    envp_.clear();
    for (std::string& e : strings_) envp_.push_back(e.data());
    envp_.push_back(nullptr);
}

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
        auto p = base / ("quolix-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only folders behind; make them writable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const { return (path_ / name).string(); }

void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Cp(std::string_view utf8) { return platform::Utf8ToCp932(utf8); }

std::string CrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Repeat(std::string_view piece, size_t times) {
    std::string s;
    s.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

std::string RandomBytes(uint32_t seed, size_t size) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

}  // namespace testutil
