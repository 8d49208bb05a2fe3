// Timings of the parts of a generation run, without a window: the CSV load,
// taking the template apart, the expansion of one record and the dump page.
//
//   quolix_core_bench --csv=FILE --html=FILE [--wide-csv=FILE --wide-html=FILE]
//                     [Google Benchmark flags]
//
// The files come from bench/gen_data.py (make bench writes them). Pages are
// written to /dev/shm: what is timed is the work before the disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/CsvTable.h"
#include "data/TemplateFile.h"
#include "gen/DumpPage.h"
#include "gen/CompiledTemplate.h"
#include "platform/OutputFolder.h"
#include "RecordingSink.h"

namespace {

std::string g_csv, g_html, g_wideCsv, g_wideHtml;

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
// after the first iteration). Freeing the table is not timed.
void LoadOne(benchmark::State& state, const std::string& csv) {
    long long bytes = 0;
    int records = 0;
    for (auto _ : state) {
        auto table = std::make_unique<CCsvTable>(csv);
        testutil::RecordingSink prompter;
        const char* text = table->Load(prompter);
        if (!text || !prompter.diagnostics.empty()) {
            state.SkipWithError("the CSV load reported a problem");
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

}  // namespace

int main(int argc, char** argv) {
    TakeFlag(argc, argv, "--csv", g_csv);
    TakeFlag(argc, argv, "--html", g_html);
    TakeFlag(argc, argv, "--wide-csv", g_wideCsv);
    TakeFlag(argc, argv, "--wide-html", g_wideHtml);
    if (g_csv.empty() || g_html.empty()) {
        std::fprintf(stderr,
                     "usage: quolix_core_bench --csv=FILE --html=FILE [--wide-csv=FILE "
                     "--wide-html=FILE] [benchmark flags]\n"
                     "(bench/gen_data.py writes the files; make bench runs this)\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
