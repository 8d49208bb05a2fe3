// Start-up: the window, or the batch mode that runs settings files headless.
#pragma once

class CMainApp {
public:
    // Parses the command line, runs the window or the batch mode; returns
    // the process's exit status.
    int InitInstance(int argc, char** argv);
};

// The batch mode: each settings file read into a fresh window state and
// generated as the Generate button does. 0 when everything was written, 1
// when anything went wrong, 2 for bad usage.
int RunBatch(int argc, char** argv, int firstFile);
