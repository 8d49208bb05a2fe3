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

// What the command line asks for every settings file: the encodings of the
// CSV file and the template, the CSV file's separator.
struct BatchChoices {
    std::optional<platform::EncodingChoice> csv, html;
    std::optional<platform::SeparatorChoice> separator;
};

// The batch mode: each settings file (as named on the command line) read
// into a job, its CSV file loaded and the job run as the window's Generate
// command runs it, in turn. 0 when everything was written, 1 when anything went wrong, 2 for
// bad usage.
int RunBatch(const std::vector<std::string>& files, const BatchChoices& choices = {});
