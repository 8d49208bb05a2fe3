#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/CodePage.h"

namespace testutil {

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

std::string TempDir::File(std::string_view name) const {
    return Utf8Of(path_ / U8(name));
}

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

std::string Cp(std::string_view utf8) {
    return platform::Utf8ToCp932(utf8);
}

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

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::string NumberedCsv(std::string_view column, const std::vector<std::string>& values) {
    std::string csv = "id," + std::string(column) + "\r\n";
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string& v = values[i];
        csv += std::to_string(i + 1) + ",";
        if (v.find_first_of(",\"\n") != std::string::npos) {
            csv += '"';
            for (char c : v) csv += c == '"' ? std::string("\"\"") : std::string(1, c);
            csv += '"';
        } else {
            csv += v;
        }
        csv += "\r\n";
    }
    return csv;
}

// ------------------------------------------------------------ the product's texts

std::string Progress(int percent) { return Say(diag::Code::kProgress, percent); }

std::string Warning(std::string_view text) {
    return std::string(kWarningTitle) + ": " + std::string(text);
}

std::string CannotOpen(std::string_view path) {
    return diag::Text({.code = diag::Code::kSettingsCannotOpen, .path = std::string(path)});
}

std::string QuoteError(int line) { return Say(diag::Code::kCsvQuoteError, line); }
std::string NulInData(int line) { return Say(diag::Code::kCsvNul, line); }
std::string TooManyFields(int line) { return Say(diag::Code::kCsvTooManyFields, line); }
std::string FieldTooLong(int line) { return Say(diag::Code::kCsvFieldTooLong, line); }
std::string NulInTemplate(int line) { return Say(diag::Code::kTemplateNulLine, line); }
std::string EofInTemplate(int line) { return Say(diag::Code::kTemplateEofLine, line); }

// The heading of a list of `count` names, whose list is left out.
std::string Heading(diag::Code code, int count) {
    return std::to_string(count) + diag::Text({.code = code}).substr(1);  // after the "0"
}
std::string NotWritten(int count) { return Heading(diag::Code::kFilesNotWritten, count); }
std::string Overwritten(int count) { return Heading(diag::Code::kPagesOverwritten, count); }

namespace {
std::string Because(std::string_view path, diag::NotWrittenReason reason) {
    return std::string(path) + " " + diag::ReasonText(reason);
}
}  // namespace

std::string Nameless(std::string_view path) { return Because(path, diag::NotWrittenReason::kEmptyName); }
std::string NoFolder(std::string_view path) { return Because(path, diag::NotWrittenReason::kNoFolder); }
std::string TooLong(std::string_view path) { return Because(path, diag::NotWrittenReason::kNameTooLong); }
std::string InTheWay(std::string_view path) { return Because(path, diag::NotWrittenReason::kNotRegular); }
std::string RunFile(std::string_view path) { return Because(path, diag::NotWrittenReason::kRunFile); }
std::string Unwritable(std::string_view path) { return Because(path, diag::NotWrittenReason::kCannotWrite); }

// ------------------------------------------------------------ running quolix

}  // namespace testutil
