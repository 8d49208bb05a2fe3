// Helpers shared by the tests: temporary folders and files of raw bytes, CSV
// text, the product's messages as a user reads them, and running the quolix
// program.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "diag/Catalogue.h"
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path of a file in the folder, as a string.
    std::string File(std::string_view name) const;

  private:
    std::filesystem::path path_;
};

// A path spelled in UTF-8, as the program spells paths (a narrow string
// alone is taken in another code page on Windows), and back.
inline std::filesystem::path U8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& file);

// UTF-8 text as code page 932 bytes.
std::string Cp(std::string_view utf8);
// Every "\n" as "\r\n".
std::string CrLf(std::string_view text);
// `piece` `times` times over.
std::string Repeat(std::string_view piece, size_t times);
// `size` random bytes, the same for the same seed.
std::string RandomBytes(uint32_t seed, size_t size);
// The text's lines without their line feeds; a last line without one counts.
std::vector<std::string> SplitLines(std::string_view text);

// A CSV text with the header `id,<column>` and one record per value,
// numbered from 1, CR LF line ends, the values' bytes as given. A value
// holding a comma, a double quote or a line feed is quoted, its quotes
// doubled.
std::string NumberedCsv(std::string_view column, const std::vector<std::string>& values);

// ------------------------------------------------------------ the product's texts
// As the catalogue writes them, which pins each byte for byte once: the
// transcripts of the program compare whole lines with these.

inline std::string Say(diag::Code code, int number = 0) {
    return diag::Text({.code = code, .number = number});
}
inline const std::string kDone = Say(diag::Code::kProgress, 100);
inline constexpr const char* kWarningTitle = diag::kWarningCaption;  // the caption of a warning box
inline const std::string kNoSource = Say(diag::Code::kNoCsvPath);
inline const std::string kSourceMissing = Say(diag::Code::kCsvNotFound);
inline const std::string kNoTemplate = Say(diag::Code::kNoTemplatePath);
inline const std::string kTemplateMissing = Say(diag::Code::kTemplateMissing);
inline const std::string kNoOut = Say(diag::Code::kNoOutPath);
inline const std::string kOutMissing = Say(diag::Code::kOutMissing);
inline const std::string kNoNameField = Say(diag::Code::kNoNamingField);
inline const std::string kNoRecords = Say(diag::Code::kNoRecords);
inline const std::string kEmptyFile = Say(diag::Code::kCsvEmpty);
inline const std::string kNoMemory = Say(diag::Code::kNoMemory);
inline const std::string kTooManyRecords = Say(diag::Code::kCsvTooManyRecords, 32001);
inline const std::string kTemplateUtf16 = Say(diag::Code::kTemplateUtf16);
inline const std::string kWaitingForOutput = Say(diag::Code::kWaitingForOutput);

// The status line during a run: "  0% 完了" to "100% 完了".
std::string Progress(int percent);
// A warning box's text as the batch mode prints it.
std::string Warning(std::string_view text);
// A settings file that cannot be read or written.
std::string CannotOpen(std::string_view path);
// CSV load: a misplaced or unclosed quote in `line`, a NUL byte in `line`,
// more than 500 fields in `line`, a field too long in `line`.
std::string QuoteError(int line);
std::string NulInData(int line);
std::string TooManyFields(int line);
std::string FieldTooLong(int line);
// Template load: a NUL byte, a 0x1A byte in `line`.
std::string NulInTemplate(int line);
std::string EofInTemplate(int line);
// A run: `count` files not written, `count` pages replaced by a later one of
// the same name (each followed by the names, a line each).
std::string NotWritten(int count);
std::string Overwritten(int count);
// A line of the first list: the path, then why it was not written.
std::string Nameless(std::string_view path);    // the name is empty, "." or ".."
std::string NoFolder(std::string_view path);    // a folder on the name's way is missing
std::string TooLong(std::string_view path);     // the name is too long
std::string InTheWay(std::string_view path);    // a link or no regular file is there
std::string RunFile(std::string_view path);     // the run's own input or output
std::string Unwritable(std::string_view path);  // anything else

// ------------------------------------------------------------ running quolix
// (tests/ProgramRun.cpp; POSIX only)
#ifndef _WIN32

// How long a run of the program may take before it counts as hung and is
// killed.
inline constexpr int kHangSeconds = 120;

#if defined(__SANITIZE_ADDRESS__)
// An address-space limit cannot hold under AddressSanitizer: its own
// allocation limit stands in, and it says on stderr that it refused.
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

// `quolix ARGUMENTS...` run in `folder` with no display in its environment,
// SIGPIPE and the signal mask as a new process has them and standard input
// empty; standard output and standard error are read by the test.
struct Launch {
    std::filesystem::path folder;
    std::vector<std::string> arguments;
    // > 0: the program cannot make a file larger than this many bytes
    // (RLIMIT_FSIZE, SIGXFSZ ignored): a disk that fills up.
    long fileSizeLimit = 0;
    // > 0: the program cannot have more memory than this many bytes.
    long memoryLimit = 0;
    // Standard input, output and error are one terminal, whose text is read
    // as standard error.
    bool terminal = false;
    // Standard error is a pipe whose reader has gone, as after `| head -1`.
    bool errorsUnread = false;
    // "NAME=value" entries set in the program's environment on top of the
    // above, such as a display for the window to look for.
    std::vector<std::string> environment = {};
};

struct RunResult {
    bool finished = false;  // false: killed after kHangSeconds
    int exitStatus = -1;    // -1 when the program did not exit normally
    int signal = 0;         // the signal that ended it, if one did
    std::string out, err;

    std::vector<std::string> ErrLines() const { return SplitLines(err); }
    std::string LastErrLine() const;
    bool ErrHasLine(std::string_view line) const;
};

// The program, started; what it writes is read as the test asks for it.
// A failure to start it fails the test.
class Quolix {
  public:
    explicit Quolix(const Launch& launch);
    // A program still running is killed.
    ~Quolix();
    Quolix(const Quolix&) = delete;
    Quolix& operator=(const Quolix&) = delete;

    // Reads until standard error holds a whole line (or the streams end, or
    // the program counts as hung); standard error so far.
    const std::string& ReadErrLine();
    // Reads both streams to their end and waits for the program; a hung
    // program is killed.
    RunResult Finish();

  private:
    // Opens the streams between the test and the program: this end in
    // fds_, the program's in `terminal` or `out` and `err`.
    bool OpenStreams(const Launch& launch, int& terminal, int& out, int& err);
    void Pump(const std::function<bool()>& enough);
    void Kill();

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};  // standard output, standard error
    bool killed_ = false;
    std::chrono::steady_clock::time_point deadline_;
    RunResult result_;
};

// Runs the program to its end.
RunResult RunQuolix(const Launch& launch);

#endif  // _WIN32

}  // namespace testutil
