// The batch mode's way of showing diagnostics, on standard error: a line
// each (a warning after "警告: "), data made harmless for a terminal, and
// the file or folder a diagnostic is about on a line of its own before it,
// made absolute from the current folder. While a run goes, its progress is
// shown on a terminal only, and its last word comes after what it counted.
#pragma once

#include <string>
#include <string_view>

#include "diag/Diagnostic.h"

namespace diag {

class ConsoleRenderer : public Sink {
public:
    explicit ConsoleRenderer(bool progressShown) : progressShown_(progressShown) {}

    void Report(const Diagnostic& d) override;
    void StartRun() { running_ = true; }
    // The run's last word, after everything else it said.
    void FinishRun(const Diagnostic& lastStatus);
    void Line(std::string_view text) { Write(std::string(text) + '\n'); }
    // Whether anything weighed more than information.
    bool Failed() const { return failed_; }

private:
    void Progress(const Diagnostic& d);
    void Print(const Diagnostic& d, std::string_view caption = {});
    void Write(const std::string& lines);

    const bool progressShown_;
    bool running_ = false;
    bool progressOnLine_ = false;
    bool failed_ = false;
};

}  // namespace diag
