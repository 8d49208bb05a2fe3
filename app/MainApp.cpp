#include "app/MainApp.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/BatchDlg.h"
#include "gen/ProgramIdentity.h"
#include "platform/CodePage.h"
#include "platform/Prompter.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: quolix [FILE.cfg ...]\n"
                 "       quolix --batch FILE.cfg [FILE.cfg ...]\n"
                 "\n"
                 "Turns a CSV file (code page 932) into static HTML pages made from a template.\n"
                 "\n"
                 "Without --batch the window opens; each settings file named is opened in it,\n"
                 "and generates at once when its autoChk line is 1.\n"
                 "\n"
                 "  --batch    read each settings file and generate its pages without a window;\n"
                 "             messages go to standard error\n"
                 "  --help     show this help and exit\n"
                 "  --version  show the version and exit\n"
                 "\n"
                 "Exit status (--batch): 0 every page written, 1 something was not read or\n"
                 "not written, 2 bad usage.\n");
}

// The window's module: next to the program in the build tree, in the
// library folder once installed.
std::string WindowModulePath() {
    const char kName[] = "quolix-window.so";
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0) return kName;
    self.resize(static_cast<size_t>(n));
    const std::string dir = self.substr(0, self.rfind('/') + 1);
    const std::string local = dir + kName;
    if (::access(local.c_str(), F_OK) == 0) return local;
    return dir + QUOLIX_WINDOW_MODULE_DIR + "/" + kName;
}

int RunWindow(int argc, char** argv, const std::vector<std::string>& arguments) {
    const std::string path = WindowModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Entry = int (*)(int*, char**, const char* const*, int);
    Entry entry = module ? reinterpret_cast<Entry>(::dlsym(module, "quolix_window_main")) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "quolix: cannot open the window: %s\n", ::dlerror());
        return kExitFailed;
    }
    std::vector<const char*> files;
    for (const std::string& a : arguments) files.push_back(a.c_str());
    // The module stays loaded until the program ends.
    return entry(&argc, argv, files.data(), static_cast<int>(files.size()));
}

void PrintLine(const std::string& text) {
    std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

int CMainApp::InitInstance(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(stdout);
            return kExitOk;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n%s\n", kProgramName, kProgramVersion, kCopyright);
            return kExitOk;
        }
        if (std::strcmp(argv[i], "--batch") == 0) return RunBatch(argc, argv, i + 1);
        if (std::strcmp(argv[i], "--") == 0) continue;
        if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "quolix: unknown option '%s'\n", argv[i]);
            PrintUsage(stderr);
            return kExitUsage;
        }
        arguments.push_back(platform::Utf8ToCp932(argv[i]));
    }

    return RunWindow(argc, argv, arguments);
}

int RunBatch(int argc, char** argv, int firstFile) {
    std::vector<std::string> files;
    for (int i = firstFile; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0 && std::strcmp(argv[i], "--") != 0) {
            std::fprintf(stderr, "quolix: unknown option '%s'\n", argv[i]);
            PrintUsage(stderr);
            return kExitUsage;
        }
        if (std::strcmp(argv[i], "--") != 0) files.push_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "quolix: --batch needs at least one settings file\n");
        PrintUsage(stderr);
        return kExitUsage;
    }

    const bool progressShown = isatty(fileno(stderr));

    int status = kExitOk;
    for (const std::string& file : files) {
        platform::ConsolePrompter prompter;
        CBatchDlg dialog(prompter);
        bool generating = false;
        dialog.SetStatusObserver([&](const std::string& text) {
            if (!generating) {
                PrintLine(text);
            } else if (progressShown) {
                std::fprintf(stderr, "\r%s", text.c_str());
                std::fflush(stderr);
            }
        });
        dialog.SetSettingsPath(platform::Utf8ToCp932(file));
        const bool read = dialog.LoadSettings() == 0;
        const bool quietLoad = prompter.BoxesShown() == 0;
        generating = true;
        dialog.OnGenerate();
        generating = false;
        if (progressShown) std::fputs("\r", stderr);
        PrintLine(dialog.StatusText());
        if (!read || !quietLoad || !dialog.LastRun().AllWritten()) status = kExitFailed;
    }
    return status;
}
