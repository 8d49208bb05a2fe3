// Timings of the parts of a generation run, without a window: the CSV load,
// the load of the same table as an .xlsx and an .ods workbook, taking the
// template apart, the expansion of one record and the dump page.
//
//   quolix_core_bench --csv=FILE --html=FILE [--wide-csv=FILE --wide-html=FILE]
//                     [--xlsx=FILE --ods=FILE] [Google Benchmark flags]
//   quolix_core_bench --load=FILE      loads FILE once and exits (for the
//                                      peak memory of a load alone)
//
// The files come from bench/gen_data.py (make bench writes them; "book"
// writes the workbooks of the shop table given as --csv). Before the first
// timing of a workbook its table is compared with the CSV's, field by field;
// a difference ends the program. Pages are written to /dev/shm: what is timed
// is the work before the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "data/CsvTable.h"
#include "data/TemplateFile.h"
#include "gen/DumpPage.h"
#include "gen/CompiledTemplate.h"
#include "platform/OutputFolder.h"
#include "platform/TextEncoding.h"
#include "RecordingSink.h"

namespace {

std::string g_csv, g_html, g_wideCsv, g_wideHtml, g_xlsx, g_ods;

std::unique_ptr<CCsvTable> LoadTable(const std::string& path, benchmark::State& state) {
    auto table = std::make_unique<CCsvTable>(path);
    testutil::RecordingSink prompter;
    if (!table->IsOpen() || !table->Load(prompter) || !prompter.diagnostics.empty()) {
        state.SkipWithError(("cannot load " + path).c_str());
        return nullptr;
    }
    return table;
}

std::string ReadTemplate(const std::string& path, benchmark::State& state) {
    CTemplateFile file(path);
    if (!file.IsOpen() || file.Read() == 0) {
        state.SkipWithError(("cannot read " + path).c_str());
        return {};
    }
    return file.GetText();
}

// Reading and parsing the whole CSV file (the file is in the page cache
// after the first iteration). Freeing the table is not timed. With
// inMemory, the file's bytes are read once and each table is made from a
// copy of them (not timed) with FromBytes: only Load is timed.
void LoadOne(benchmark::State& state, const std::string& csv, bool inMemory = false) {
    std::string source;
    if (inMemory) {
        std::ifstream in(csv, std::ios::binary);
        source.assign(std::istreambuf_iterator<char>(in), {});
    }
    long long bytes = 0;
    int records = 0;
    for (auto _ : state) {
        std::unique_ptr<CCsvTable> table;
        if (inMemory) {
            state.PauseTiming();
            table = std::make_unique<CCsvTable>(CCsvTable::FromBytes(source));
            state.ResumeTiming();
        } else {
            table = std::make_unique<CCsvTable>(csv);
        }
        testutil::RecordingSink prompter;
        const char* text = table->Load(prompter);
        if (!text || !prompter.diagnostics.empty()) {
            state.SkipWithError("the load reported a problem");
            break;
        }
        benchmark::DoNotOptimize(text);
        // Giving the table back is not part of the load.
        state.PauseTiming();
        bytes = static_cast<long long>(std::strlen(text));
        records = table->RecordCount();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["records"] = records;
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_CsvLoad(benchmark::State& state) {
    LoadOne(state, g_csv);
}
BENCHMARK(BM_CsvLoad)->Unit(benchmark::kMillisecond);

void BM_CsvLoadWide(benchmark::State& state) {
    if (g_wideCsv.empty()) {
        state.SkipWithError("no --wide-csv given");
        return;
    }
    LoadOne(state, g_wideCsv);
}
BENCHMARK(BM_CsvLoadWide)->Unit(benchmark::kMillisecond);

// The workbook's table against the CSV's: the same records, fields and
// values, the CSV's in UTF-8 with its CR LF line breaks as line feeds.
// Once per workbook; a difference ends the program.
void CheckBook(const std::string& book) {
    static std::vector<std::string> checked;
    if (std::find(checked.begin(), checked.end(), book) != checked.end()) return;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "%s differs from %s: %s\n", book.c_str(), g_csv.c_str(), what.c_str());
        std::exit(1);
    };
    CCsvTable csv(g_csv), wb(book);
    testutil::RecordingSink sink;
    if (!csv.Load(sink) || !wb.Load(sink) || !sink.diagnostics.empty()) fail("a load reported a problem");
    if (csv.RecordCount() != wb.RecordCount())
        fail(std::to_string(wb.RecordCount()) + " records, not " + std::to_string(csv.RecordCount()));
    for (int r = 0; r < csv.RecordCount(); ++r) {
        const CCsvRecord &a = *csv.GetRecord(r), &b = *wb.GetRecord(r);
        if (a.FieldCount() != b.FieldCount())
            fail("record " + std::to_string(r) + ": " + std::to_string(b.FieldCount()) + " fields, not " +
                 std::to_string(a.FieldCount()));
        for (int f = 0; f < a.FieldCount(); ++f) {
            std::string want = platform::ToUtf8(a.FieldView(f), platform::TextEncoding::kCp932);
            for (size_t at; (at = want.find("\r\n")) != std::string::npos;) want.erase(at, 1);
            if (b.FieldView(f) != want)
                fail("record " + std::to_string(r) + ", field " + std::to_string(f) + ": \"" +
                     std::string(b.FieldView(f)) + "\", not \"" + want + "\"");
        }
    }
    checked.push_back(book);
}

// The shop table as a workbook, from memory, against the CSV from memory.
void BookLoad(benchmark::State& state, const std::string& book, const char* flag) {
    if (book.empty()) {
        state.SkipWithError((std::string("no ") + flag + " given").c_str());
        return;
    }
    CheckBook(book);
    LoadOne(state, book, true);
}

void BM_CsvLoadInMemory(benchmark::State& state) {
    LoadOne(state, g_csv, true);
}
BENCHMARK(BM_CsvLoadInMemory)->Unit(benchmark::kMillisecond);

void BM_XlsxLoad(benchmark::State& state) {
    BookLoad(state, g_xlsx, "--xlsx");
}
BENCHMARK(BM_XlsxLoad)->Unit(benchmark::kMillisecond);

void BM_OdsLoad(benchmark::State& state) {
    BookLoad(state, g_ods, "--ods");
}
BENCHMARK(BM_OdsLoad)->Unit(benchmark::kMillisecond);

// One record through the template, each iteration the next record: the
// template taken apart once (as a run does), then one Write per record.
void ExpandOne(benchmark::State& state, const std::string& csv, const std::string& html) {
    auto table = LoadTable(csv, state);
    if (!table) return;
    const std::string text = ReadTemplate(html, state);
    if (text.empty()) return;
    const CompiledTemplate compiled(*table, text.c_str(), false, table->Encoding());
    std::string page;
    const int n = table->RecordCount();
    int r = 1;
    for (auto _ : state) {
        page.clear();
        compiled.Write(*table, r, page);
        benchmark::DoNotOptimize(page.data());
        if (++r == n) r = 1;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ExpandRecord(benchmark::State& state) {
    ExpandOne(state, g_csv, g_html);
}
BENCHMARK(BM_ExpandRecord)->Unit(benchmark::kMicrosecond);

void BM_ExpandRecordWide(benchmark::State& state) {
    if (g_wideCsv.empty()) {
        state.SkipWithError("no --wide-csv given");
        return;
    }
    ExpandOne(state, g_wideCsv, g_wideHtml);
}
BENCHMARK(BM_ExpandRecordWide)->Unit(benchmark::kMicrosecond);

// Taking the template apart (placeholder lookup), once per run.
void CompileOne(benchmark::State& state, const std::string& csv, const std::string& html) {
    auto table = LoadTable(csv, state);
    if (!table) return;
    const std::string text = ReadTemplate(html, state);
    if (text.empty()) return;
    for (auto _ : state) {
        CompiledTemplate compiled(*table, text.c_str(), false, table->Encoding());
        benchmark::DoNotOptimize(compiled);
    }
}

void BM_CompileTemplate(benchmark::State& state) {
    CompileOne(state, g_csv, g_html);
}
BENCHMARK(BM_CompileTemplate)->Unit(benchmark::kMicrosecond);

void BM_CompileTemplateWide(benchmark::State& state) {
    if (g_wideCsv.empty()) {
        state.SkipWithError("no --wide-csv given");
        return;
    }
    CompileOne(state, g_wideCsv, g_wideHtml);
}
BENCHMARK(BM_CompileTemplateWide)->Unit(benchmark::kMicrosecond);

// The whole table as _db.html.
void DumpOne(benchmark::State& state, const std::string& csv) {
    auto table = LoadTable(csv, state);
    if (!table) return;
    // Written to memory (/dev/shm): what is timed is the work before the disk.
    const std::unique_ptr<platform::OutputFolder> folder = platform::OpenOutputFolder("/dev/shm");
    if (!folder) {
        state.SkipWithError("cannot open /dev/shm");
        return;
    }
    const std::string name = "quolix_bench_" + std::to_string(::getpid()) + ".html";
    const std::unique_ptr<platform::OutputFile> out = folder->NewFile();
    for (auto _ : state) {
        out->Create(name);
        WriteDumpPage(*table, *out, table->Encoding());
        out->Close();
    }
    ::unlink(("/dev/shm/" + name).c_str());
}

void BM_DumpPage(benchmark::State& state) {
    DumpOne(state, g_csv);
}
BENCHMARK(BM_DumpPage)->Unit(benchmark::kMillisecond);

void BM_DumpPageWide(benchmark::State& state) {
    if (g_wideCsv.empty()) {
        state.SkipWithError("no --wide-csv given");
        return;
    }
    DumpOne(state, g_wideCsv);
}
BENCHMARK(BM_DumpPageWide)->Unit(benchmark::kMillisecond);

// Takes --name=VALUE out of argv.
bool TakeFlag(int& argc, char** argv, const char* name, std::string& value) {
    const size_t len = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], name, len) == 0 && argv[i][len] == '=') {
            value = argv[i] + len + 1;
            for (int j = i; j < argc - 1; ++j) argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    }
    return false;
}

// --load=FILE: one load and nothing else, for /usr/bin/time to report its
// peak memory.
int LoadOnly(const std::string& path) {
    CCsvTable table(path);
    testutil::RecordingSink sink;
    if (!table.IsOpen() || !table.Load(sink) || !sink.diagnostics.empty()) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return 1;
    }
    std::printf("records=%d\n", table.RecordCount());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::string load; TakeFlag(argc, argv, "--load", load)) return LoadOnly(load);
    TakeFlag(argc, argv, "--csv", g_csv);
    TakeFlag(argc, argv, "--html", g_html);
    TakeFlag(argc, argv, "--wide-csv", g_wideCsv);
    TakeFlag(argc, argv, "--wide-html", g_wideHtml);
    TakeFlag(argc, argv, "--xlsx", g_xlsx);
    TakeFlag(argc, argv, "--ods", g_ods);
    if (g_csv.empty() || g_html.empty()) {
        std::fprintf(stderr,
                     "usage: quolix_core_bench --csv=FILE --html=FILE [--wide-csv=FILE "
                     "--wide-html=FILE] [--xlsx=FILE --ods=FILE] [benchmark flags]\n"
                     "       quolix_core_bench --load=FILE\n"
                     "(bench/gen_data.py writes the files; make bench runs this)\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
