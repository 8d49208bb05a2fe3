// Start-up: the window, or the batch mode that runs settings files headless.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"

class CMainApp {
public:
    // Parses the command line, runs the window or the batch mode; returns
    // the process's exit status.
    int InitInstance(int argc, char** argv);
};

// Encodings asked for on the command line, for every settings file.
struct BatchEncodings {
    std::optional<platform::EncodingChoice> csv, html;
};

// The batch mode: each settings file (as named on the command line) read
// into a fresh window state and generated as the Generate button does, in
// turn. 0 when everything was written, 1 when anything went wrong, 2 for
// bad usage.
int RunBatch(const std::vector<std::string>& files, const BatchEncodings& encodings = {});
