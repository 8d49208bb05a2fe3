#include "cli/MainApp.h"

#ifndef QUOLIX_NO_WINDOW
#include <dlfcn.h>
#endif
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diag/ConsoleRenderer.h"
#include "data/CsvTable.h"
#include "gen/GenerationRun.h"
#include "gen/ProgramIdentity.h"
#include "platform/TextEncoding.h"
#include "diag/Prompter.h"
#include "platform/StrFormat.h"
#include "settings/SettingsReader.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: quolix [--] [FILE.cfg ...]\n"
                 "       quolix --batch [OPTION...] [--] FILE.cfg [FILE.cfg ...]\n"
                 "\n"
                 "Turns a CSV file (UTF-8, code page 932 (Shift_JIS) or UTF-16; fields separated\n"
                 "by commas or tabs), or a sheet of an .xlsx or .ods workbook, into static HTML\n"
                 "pages made from a template.\n"
                 "\n"
                 "Without --batch the window opens; each settings file named is opened in it,\n"
                 "and generates at once when its autoChk line is 1.\n"
                 "\n"
                 "  --batch    read each settings file named, before or after it, in the order\n"
                 "             given, and generate its pages without a window; messages go to\n"
                 "             standard error\n"
                 "  --csv-encoding=ENCODING\n"
                 "             read the CSV file in this encoding, whatever the settings files'\n"
                 "             csvCode lines say: auto (find out), or a name of UTF-8,\n"
                 "             Shift_JIS or UTF-16 in any case (utf-8, utf8, shift_jis, sjis,\n"
                 "             cp932, utf-16, ...); not for a workbook\n"
                 "  --template-encoding=ENCODING\n"
                 "             likewise the template, whose encoding is the pages' (not UTF-16)\n"
                 "  --separator=SEPARATOR\n"
                 "             separate the CSV file's fields by this, whatever the settings\n"
                 "             files' Sep lines say: auto (a tab for UTF-16, or when the header\n"
                 "             line holds a tab and no comma; else a comma), comma or tab; not\n"
                 "             for a workbook\n"
                 "  --help     show this help and exit\n"
                 "  --version  show the version and exit\n"
                 "  --         end of the options: every argument after it is a settings file,\n"
                 "             even one that begins with --\n"
                 "\n"
                 "Exit status (--batch): 0 every page written, 1 something was not read or\n"
                 "not written, 2 bad usage.\n");
}

#ifdef QUOLIX_NO_WINDOW
int RunWindow(char**, const std::vector<std::string>&) {
    std::fprintf(stderr, "quolix: this build has no window (to run without one: quolix --batch FILE.cfg)\n");
    return kExitFailed;
}
#else
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
#endif

// Takes `--csv-encoding=`, `--template-encoding=` or `--separator=` and its
// value into `choices`; false, and said, when the value names none.
bool TakeChoice(std::string_view arg, BatchChoices& choices) {
    const std::string_view value = arg.substr(arg.find('=') + 1);
    const std::string shown = platform::EscapeForTerminal(value);
    if (arg.starts_with("--separator=")) {
        choices.separator = platform::ParseSeparatorChoice(value);
        if (!choices.separator)
            std::fprintf(stderr, "quolix: unknown separator '%s' (auto, comma or tab)\n", shown.c_str());
        return choices.separator.has_value();
    }
    const bool csv = arg.starts_with("--csv-");
    std::optional<platform::EncodingChoice>& choice = csv ? choices.csv : choices.html;
    choice = platform::ParseEncodingChoice(value);
    if (!csv && choice == platform::EncodingChoice::kUtf16) choice.reset();  // the CSV file's alone
    if (!choice)
        std::fprintf(stderr,
                     csv ? "quolix: unknown encoding '%s' (auto, or a name of UTF-8, Shift_JIS or "
                           "UTF-16 such as utf-8, sjis or utf-16)\n"
                         : "quolix: unknown encoding '%s' (auto, or a name of UTF-8 or Shift_JIS "
                           "such as utf-8 or sjis)\n",
                     shown.c_str());
    return choice.has_value();
}

}  // namespace

int CMainApp::InitInstance(int argc, char** argv) {
#ifdef SIGPIPE
    // A reader that goes away (quolix --batch x.cfg 2>&1 | head -1) must not
    // end the run: writes fail with EPIPE instead, and count as failed.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    bool batch = false;
    bool options = true;
    BatchChoices choices;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!options || !arg.starts_with("--")) {
            files.emplace_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (arg == "--batch") {
            batch = true;
        } else if (arg.starts_with("--csv-encoding=") || arg.starts_with("--template-encoding=") ||
                   arg.starts_with("--separator=")) {
            if (!TakeChoice(arg, choices)) {
                PrintUsage(stderr);
                return kExitUsage;
            }
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
    if (batch) return RunBatch(files, choices);
    if (choices.csv || choices.html || choices.separator) {
        std::fprintf(stderr,
                     "quolix: --csv-encoding, --template-encoding and --separator need --batch\n");
        PrintUsage(stderr);
        return kExitUsage;
    }

    return RunWindow(argv, files);
}

int RunBatch(const std::vector<std::string>& files, const BatchChoices& choices) {
    if (files.empty()) {
        std::fprintf(stderr, "quolix: --batch needs at least one settings file\n");
        PrintUsage(stderr);
        return kExitUsage;
    }

    diag::ConsoleRenderer console(isatty(fileno(stderr)));
    for (const std::string& file : files) {
        // Runs are told apart as head and tail tell files apart.
        if (files.size() > 1) console.Line("==> " + platform::EscapeForTerminal(file) + " <==");
        // Read as the window opens it, then generated as its Generate button does.
        std::optional<SettingsRead> read = ReadSettingsFile(file, console);
        Job job = read ? read->job : Job{};
        job.fileName = file;
        if (choices.csv) job.csvCode = *choices.csv;
        if (choices.html) job.htmlCode = *choices.html;
        if (choices.separator) job.separator = *choices.separator;
        std::unique_ptr<CCsvTable> table;
        if (read && read->namesCsv) {
            table = OpenCsvFile(job.CSV, job.csvCode, job.separator, console);
            if (table) table->SetSheet(job.sheet);
            if (table && !table->Load(console)) table.reset();
        }
        if (read) {
            const CCsvRecord* header = table ? table->GetRecord(0) : nullptr;
            TakeAgainstTable(*read, header ? header->FieldCount() : 0,
                             table ? table->RecordCount() : -1);
            job.fieldNum = read->job.fieldNum;
            job.selection = read->job.selection;
            if (std::optional<diag::Diagnostic> unused = UnusedLinesWarning(*read))
                console.Report(*unused);
        }
        console.StartRun();
        const RunReport run = RunGeneration(job, job.selection, table.get(), {}, console);
        console.FinishRun(run.lastStatus);
    }
    int status = console.Failed() ? kExitFailed : kExitOk;
    // Messages that did not reach their reader are a failure too.
    if (std::ferror(stderr)) status = kExitFailed;
    return status;
}
