#include "diag/ConsoleRenderer.h"

#include <cstdio>
#include <cstdlib>

#include "diag/Catalogue.h"
#include "platform/FileSys.h"
#include "platform/TextEncoding.h"

namespace diag {
namespace {

// The path as the program uses it, made absolute from the current folder;
// nothing in it is resolved.
std::string AbsolutePath(const std::string& utf8) {
    if (platform::IsAbsolutePath(utf8)) return utf8;
    std::string path = platform::CurrentFolder();
    if (path.empty()) return utf8;
    if (!path.ends_with('/') && !path.ends_with('\\')) path += '/';
    return path + utf8;
}

}  // namespace

void ConsoleRenderer::Report(const Diagnostic& d) {
    if (SeverityOf(d.code) != Severity::kInformation) failed_ = true;
    switch (PlaceOf(d.code)) {
        case Place::kProgress:
            Progress(d);
            break;
        case Place::kStatus:
            // While a run goes, only the wait is a line; its refusal is its
            // last word.
            if (running_ && d.code != Code::kWaitingForOutput)
                Progress(d);
            else
                Print(d);
            break;
        case Place::kWarningBox:
            Print(d, kWarningCaption);
            break;
        default:
            Print(d);
            break;
    }
}

void ConsoleRenderer::FinishRun(const Diagnostic& lastStatus) {
    running_ = false;
    Print(lastStatus);
}

void ConsoleRenderer::Progress(const Diagnostic& d) {
    if (!progressShown_) return;
    std::fprintf(stderr, "\r%s", Text(d).c_str());
    std::fflush(stderr);
    progressOnLine_ = true;
}

void ConsoleRenderer::Print(const Diagnostic& d, std::string_view caption) {
    std::string lines;
    if (!d.path.empty()) lines += "  " + platform::EscapeForTerminal(AbsolutePath(d.path)) + "\n";
    if (!caption.empty()) lines += std::string(caption) + ": ";
    lines += Text(d, platform::EscapeForTerminal, true);
    Write(lines + '\n');
}

void ConsoleRenderer::Write(const std::string& lines) {
    // Back to the start of the line, the progress text cleared: the line
    // may be shorter.
    if (progressOnLine_) std::fputs("\r\x1b[K", stderr);
    progressOnLine_ = false;
    std::fwrite(lines.data(), 1, lines.size(), stderr);
    std::fflush(stderr);
}

}  // namespace diag
