// Timings of the window's record list on a 32000-record table: load (read,
// parse, fill, select all), rotation and inversion. Offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "app/MainDlg.h"
#include "platform/Prompter.h"
#include "res/ControlIds.h"

namespace {

std::string MakeCsv(int records) {
    std::string csv = "id,code,name,reading,price,date,category,note\r\n";
    for (int i = 1; i < records; ++i) {
        csv += std::to_string(i) + ",C" + std::to_string(i * 7) +
               ",\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x96\xbc\x91\x4f," +  // 日本語の名前
               "\xc6\xce\xdd\xba\xde," + std::to_string(i % 9000) + ",2026-12-07," +
               "\x8f\x91\x90\xd0," + (i % 10 == 0 ? "\"a, \"\"quoted\"\"\r\nnote\"" : "plain") +
               "\r\n";
    }
    return csv;
}

struct Fixture {
    std::filesystem::path file;
    platform::RecordingPrompter prompter;
    CMainDlg dialog{prompter};
    explicit Fixture(int records) {
        file = std::filesystem::temp_directory_path() / "quolix-window-bench.csv";
        std::ofstream(file, std::ios::binary) << MakeCsv(records);
        qobject_cast<QLineEdit*>(dialog.Control(IDC_CSV_PATH))->setText(QString::fromStdString(file.string()));
    }
    ~Fixture() { std::filesystem::remove(file); }
};

void BM_LoadCsv(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) f.dialog.LoadCsv();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadCsv)->Arg(32000)->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    f.dialog.LoadCsv();
    for (auto _ : state) f.dialog.OnRotate();
}
BENCHMARK(BM_Rotate)->Arg(32000)->Unit(benchmark::kMillisecond);

void BM_InvertSelection(benchmark::State& state) {
    Fixture f(static_cast<int>(state.range(0)));
    f.dialog.LoadCsv();
    for (auto _ : state) f.dialog.OnInvertSelection();
}
BENCHMARK(BM_InvertSelection)->Arg(32000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
