#include "cli/MainApp.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/WindowsText.h"

// Windows hands the arguments over as UTF-16; the program takes them as
// UTF-8, as it takes every path, and the console shows UTF-8.
int main() {
    int argc = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 0; wide && i < argc; ++i) args.push_back(platform::Narrow(wide[i]));
    if (wide) ::LocalFree(wide);
    if (args.empty()) args.emplace_back("quolix");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The console's code page goes back as it was for the commands after.
    const UINT consoleWas = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    CMainApp app;
    const int status = app.InitInstance(static_cast<int>(args.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    if (consoleWas != 0) ::SetConsoleOutputCP(consoleWas);
    return status;
}
#else
int main(int argc, char** argv) {
    CMainApp app;
    return app.InitInstance(argc, argv);
}
#endif
