// Google Benchmark of the quick-view component Qview32.ocx: the time from
// handing it a file to its first paint, for a 1 GiB sparse file in the
// hexadecimal display and a 30 MB text in the text display. The control is
// loaded from beside the program, as the viewer window loads it, and painted
// into a pixmap on Qt's offscreen platform. User-interface thread only.
#include <QApplication>
#include <QPixmap>
#include <QVariant>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "quickview/viewer_component.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchFile(const char* name) { return fs::temp_directory_path() / name; }

fs::path SparseGigabyte() {
  const fs::path file = BenchFile("kravix-bench-1gib.img");
  if (!fs::exists(file) || fs::file_size(file) != (std::uintmax_t(1) << 30)) {
    std::ofstream(file, std::ios::binary).close();
    fs::resize_file(file, std::uintmax_t(1) << 30);
  }
  return file;
}

fs::path Text30MB() {
  const fs::path file = BenchFile("kravix-bench-30mb.txt");
  if (!fs::exists(file)) {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 400'000; ++i) out << "Zeile " << i << ": Grüße aus Köln, der Text geht weiter bis achtzig Zeichen.\n";
  }
  return file;
}

void FirstPaint(benchmark::State& state, const fs::path& file, int displayMode) {
  QWidget* control = kx::CreateViewerControl(nullptr);
  if (!control) return state.SkipWithError("Qview32.ocx could not be loaded");
  control->resize(1000, 700);
  control->show();
  control->setProperty("ViewerDisplayMode", displayMode);
  state.counters["file_mb"] = double(fs::file_size(file)) / (1 << 20);
  for (auto _ : state) {
    control->setProperty("ViewerFile", QString::fromStdString(file.string()));
    benchmark::DoNotOptimize(control->grab());  // the first paint of what is in sight
  }
  delete control;
}

void BM_HexFirstPaint1GiB(benchmark::State& state) { FirstPaint(state, SparseGigabyte(), 2); }
void BM_TextFirstPaint30MB(benchmark::State& state) { FirstPaint(state, Text30MB(), 0); }

BENCHMARK(BM_HexFirstPaint1GiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextFirstPaint30MB)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
