// Timings of the window's record list on a large table: the load (read,
// parse, list fill, select all, field list), rotation, the fixed-width
// toggle and inversion. The window is shown on the offscreen platform and
// every step includes the events it leaves behind (layout and painting).
//
//   quolix_window_bench --csv=FILE [Google Benchmark flags]
//
// Without --csv a 32000-record table of 12 columns is made up in a temporary
// file; make bench passes the file of bench/gen_data.py.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "window/MainDlg.h"
#include "RecordingPrompter.h"
#include "diag/Prompter.h"
#include "dialog/ControlIds.h"

namespace {

std::string g_csv;

std::string MakeCsv(int records) {
    std::string csv =
        "id,code,name,reading,price,date,category,description,url,email,tags,note\r\n";
    for (int i = 1; i < records; ++i) {
        csv += std::to_string(i) + ",QX-" + std::to_string(100000 + i * 7) +
               ",\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x96\xbc\x91\x4f," +  // 日本語の名前
               "\x83\x5c\x81\x5b\x83\x58," + std::to_string(i % 9000) + ",2026/12/07," +
               "\x90\x48\x95\x69\x81\x5e\x88\xf9\x97\xbf," +  // 食品／飲料
               (i % 10 == 0 ? "\"a, \"\"quoted\"\"\r\nnote\"" : "plain description text") +
               ",https://shop.example.jp/items/" + std::to_string(i) +
               ",support@example.co.jp,tag1;tag2;tag3,\r\n";
    }
    return csv;
}

struct Fixture {
    std::filesystem::path madeUp;
    testutil::RecordingPrompter prompter;
    CMainDlg dialog{prompter};
    Fixture() {
        std::string path = g_csv;
        if (path.empty()) {
            madeUp = std::filesystem::temp_directory_path() / "quolix-window-bench.csv";
            std::ofstream(madeUp, std::ios::binary) << MakeCsv(32000);
            path = madeUp.string();
        }
        dialog.Model().PutText(DialogEdit::CSV, path);
        dialog.show();
        QApplication::processEvents();
    }
    ~Fixture() {
        if (!madeUp.empty()) std::filesystem::remove(madeUp);
    }
    void Settle() { QApplication::processEvents(); }
};

void BM_WindowLoad(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.dialog.Model().LoadCsv();
        f.Settle();
    }
    const CCsvTable* table = f.dialog.Model().Table();
    state.counters["records"] = table ? table->RecordCount() : 0;
    if (!f.prompter.entries.empty()) state.SkipWithError("the load reported a problem");
}
BENCHMARK(BM_WindowLoad)->Unit(benchmark::kMillisecond);

void BM_WindowRotate(benchmark::State& state) {
    Fixture f;
    f.dialog.Model().LoadCsv();
    f.Settle();
    for (auto _ : state) {
        f.dialog.Model().OnRotate();
        f.Settle();
    }
}
BENCHMARK(BM_WindowRotate)->Unit(benchmark::kMillisecond);

void BM_WindowFixedWidth(benchmark::State& state) {
    Fixture f;
    f.dialog.Model().LoadCsv();
    f.Settle();
    auto* box = qobject_cast<QCheckBox*>(f.dialog.Control(IDC_FIXED_WIDTH));
    for (auto _ : state) {
        box->click();
        f.Settle();
    }
}
BENCHMARK(BM_WindowFixedWidth)->Unit(benchmark::kMillisecond);

void BM_WindowInvert(benchmark::State& state) {
    Fixture f;
    f.dialog.Model().LoadCsv();
    f.Settle();
    for (auto _ : state) {
        f.dialog.Model().OnInvertSelection();
        f.Settle();
    }
}
BENCHMARK(BM_WindowInvert)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--csv=", 6) == 0) {
            g_csv = argv[i] + 6;
            for (int j = i; j < argc - 1; ++j) argv[j] = argv[j + 1];
            --argc;
            break;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
