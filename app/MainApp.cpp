#include "app/MainApp.h"

#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/DialogModel.h"
#include "gen/GenerationRun.h"
#include "gen/ProgramIdentity.h"
#include "platform/TextEncoding.h"
#include "platform/Prompter.h"
#include "platform/StrFormat.h"
#include "res/DialogTemplate.h"
#include "settings/SettingsReplay.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Before a run's final status line when files were left as they were.
constexpr char kUnchangedFilesText[] =
    "%d 個のファイルは内容が変わらないため書き換えませんでした．";

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: quolix [--] [FILE.cfg ...]\n"
                 "       quolix --batch [OPTION...] [--] FILE.cfg [FILE.cfg ...]\n"
                 "\n"
                 "Turns a CSV file (UTF-8 or code page 932, Shift_JIS) into static HTML pages\n"
                 "made from a template.\n"
                 "\n"
                 "Without --batch the window opens; each settings file named is opened in it,\n"
                 "and generates at once when its autoChk line is 1.\n"
                 "\n"
                 "  --batch    read each settings file named, before or after it, in the order\n"
                 "             given, and generate its pages without a window; messages go to\n"
                 "             standard error\n"
                 "  --csv-encoding=ENCODING\n"
                 "             read the CSV file in this encoding, whatever the settings files'\n"
                 "             csvCode lines say: auto (find out), or a name of UTF-8 or\n"
                 "             Shift_JIS in any case (utf-8, utf8, shift_jis, sjis, cp932, ...)\n"
                 "  --template-encoding=ENCODING\n"
                 "             likewise the template, whose encoding is the pages'\n"
                 "  --help     show this help and exit\n"
                 "  --version  show the version and exit\n"
                 "  --         end of the options: every argument after it is a settings file,\n"
                 "             even one that begins with --\n"
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

int RunWindow(char** argv, const std::vector<std::string>& paths) {
    const std::string path = WindowModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Entry = int (*)(int*, char**, const char* const*, int);
    Entry entry = module ? reinterpret_cast<Entry>(::dlsym(module, "quolix_window_main")) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "quolix: cannot open the window: %s\n", ::dlerror());
        return kExitFailed;
    }
    std::vector<const char*> files;
    for (const std::string& f : paths) files.push_back(f.c_str());
    // The toolkit sees the program's name alone: every argument is the
    // program's own, and a file named after "--" may look like one of the
    // toolkit's options.
    int toolkitArgc = 1;
    // The module stays loaded until the program ends.
    return entry(&toolkitArgc, argv, files.data(), static_cast<int>(files.size()));
}

// The path as the program uses it, made absolute from the current folder;
// nothing in it is resolved.
std::string AbsolutePath(const std::string& utf8) {
    if (utf8.starts_with('/')) return utf8;
    char* here = ::getcwd(nullptr, 0);
    if (!here) return utf8;
    std::string path = here;
    std::free(here);
    if (!path.ends_with('/')) path += '/';
    return path + utf8;
}

// Whether `text` is a message about the settings file (one that cannot be
// opened or is UTF-16), whatever form the name takes in it.
bool IsCannotOpenSettings(std::string_view text) {
    for (const std::string& frame : {CannotOpenSettingsText(""), Utf16SettingsText("")}) {
        const size_t name = frame.find("()") + 1;
        if (text.size() >= frame.size() &&
            text.starts_with(std::string_view(frame).substr(0, name)) &&
            text.ends_with(std::string_view(frame).substr(name)))
            return true;
    }
    return false;
}

// The file or folder a batch message is about, absolute (UTF-8); empty for
// a message about none.
std::string PathOfMessage(std::string_view text, const DialogModel& dialog,
                          const std::string& settingsPath) {
    std::string path;
    if (text == res::kStatusCsvNotFound || text == kCsvUtf16Text)
        path = dialog.ReadRunSettings().CSV;
    else if (text == kStatusTemplateMissing || text == kStatusTemplateUtf16 ||
             text.starts_with(std::string_view(kStatusTemplateCharsetFormat)
                                  .substr(0, std::string_view(kStatusTemplateCharsetFormat).find('%'))))
        path = dialog.ReadRunSettings().HTML;
    else if (text == kStatusOutMissing)
        path = dialog.ReadRunSettings().Out;
    else if (IsCannotOpenSettings(text))
        path = settingsPath;
    else
        return {};
    return AbsolutePath(path);
}

// Status texts of a batch run on standard error: a line each, but while
// generating only the wait for another run; the rest is progress, shown on
// a terminal only.
class StatusLines : public DialogListener {
public:
    StatusLines(platform::ConsolePrompter& prompter, bool progressShown)
        : prompter_(prompter), progressShown_(progressShown) {}
    void SetGenerating(bool on) { generating_ = on; }
    void StatusChanged(const std::string& text) override {
        if (!generating_ || text == kStatusWaitingForOutput) {
            if (generating_ && progressShown_) std::fputs("\r", stderr);
            prompter_.Line(text);
        } else if (progressShown_) {
            std::fprintf(stderr, "\r%s", text.c_str());
            std::fflush(stderr);
        }
    }

private:
    platform::ConsolePrompter& prompter_;
    bool progressShown_;
    bool generating_ = false;
};

}  // namespace

int CMainApp::InitInstance(int argc, char** argv) {
    // A reader that goes away (quolix --batch x.cfg 2>&1 | head -1) must not
    // end the run: writes fail with EPIPE instead, and count as failed.
    std::signal(SIGPIPE, SIG_IGN);

    bool batch = false;
    bool options = true;
    BatchEncodings encodings;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!options || !arg.starts_with("--")) {
            files.emplace_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (arg == "--batch") {
            batch = true;
        } else if (arg.starts_with("--csv-encoding=") || arg.starts_with("--template-encoding=")) {
            const size_t eq = arg.find('=');
            const std::optional<platform::EncodingChoice> choice =
                platform::ParseEncodingChoice(arg.substr(eq + 1));
            if (!choice) {
                std::fprintf(stderr,
                             "quolix: unknown encoding '%s' (auto, or a name of UTF-8 or "
                             "Shift_JIS such as utf-8 or sjis)\n",
                             platform::EscapeForTerminal(arg.substr(eq + 1)).c_str());
                PrintUsage(stderr);
                return kExitUsage;
            }
            (arg[2] == 'c' ? encodings.csv : encodings.html) = *choice;
        } else if (arg == "--help") {
            PrintUsage(stdout);
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("%s %s\n%s\n", kProgramName, kProgramVersion, kCopyright);
            return kExitOk;
        } else {
            std::fprintf(stderr, "quolix: unknown option '%s'\n",
                         platform::EscapeForTerminal(arg).c_str());
            PrintUsage(stderr);
            return kExitUsage;
        }
    }
    if (batch) return RunBatch(files, encodings);
    if (encodings.csv || encodings.html) {
        std::fprintf(stderr, "quolix: --csv-encoding and --template-encoding need --batch\n");
        PrintUsage(stderr);
        return kExitUsage;
    }

    return RunWindow(argv, files);
}

int RunBatch(const std::vector<std::string>& files, const BatchEncodings& encodings) {
    if (files.empty()) {
        std::fprintf(stderr, "quolix: --batch needs at least one settings file\n");
        PrintUsage(stderr);
        return kExitUsage;
    }

    const bool progressShown = isatty(fileno(stderr));

    int status = kExitOk;
    for (const std::string& file : files) {
        platform::ConsolePrompter prompter;
        // Runs are told apart as head and tail tell files apart.
        if (files.size() > 1) prompter.Line("==> " + prompter.DataText(file) + " <==");
        DialogModel dialog(prompter);
        prompter.SetPathFinder(
            [&](std::string_view text) { return PathOfMessage(text, dialog, file); });
        StatusLines lines(prompter, progressShown);
        dialog.SetListener(&lines);
        dialog.SetSettingsPath(file);
        if (encodings.csv) dialog.ForceEncoding(DialogCombo::CsvEncoding, *encodings.csv);
        if (encodings.html) dialog.ForceEncoding(DialogCombo::TemplateEncoding, *encodings.html);
        const bool read = dialog.LoadSettings() == 0;
        const bool quietLoad = prompter.BoxesShown() == 0;
        lines.SetGenerating(true);
        dialog.OnGenerate();
        lines.SetGenerating(false);
        // Back to the start of the line, the progress text cleared: the
        // lines after it may be shorter.
        if (progressShown) std::fputs("\r\x1b[K", stderr);
        // Each said on its own line, before the run's last word; no failure.
        const RunReport& run = dialog.LastRun();
        if (run.characterReferences > 0)
            prompter.Line(platform::StrFormat(kCharacterReferencesText, run.characterReferences));
        if (run.replacements > 0)
            prompter.Line(platform::StrFormat(kReplacementsText, run.replacements));
        // The window leaves this unsaid; a script may want to know why
        // nothing new is in the folder.
        if (run.unchangedFiles > 0)
            prompter.Line(platform::StrFormat(kUnchangedFilesText, run.unchangedFiles));
        prompter.Line(run.lastStatus);
        if (!read || !quietLoad || !dialog.LastRun().AllWritten()) status = kExitFailed;
    }
    // Messages that did not reach their reader are a failure too.
    if (std::ferror(stderr)) status = kExitFailed;
    return status;
}
