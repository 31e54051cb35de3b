// Window actions on a model at full capacity: 255 surfaces of 4096 vertices
// and 8192 triangles. Runs offscreen.
//   QT_QPA_PLATFORM=offscreen build/bin/gui_bench
#include "app/ExportDialog/ExportDialog.h"
#include "app/MainWindow/MainWindow.h"
#include "app/OptionsDialog/OptionsDialog.h"
#include "app/WindowShape/WindowShape.h"
#include "bench/BenchModels.h"
#include "model/Model.h"
#include "platform/Desktop.h"
#include "platform/Resources.h"
#include "res/Layouts.h"
#include "tests/Md3Builder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

std::string FullModel(bool scattered = false) {
    return BenchModelFile(kMaxSurfaces, scattered);
}

// One window, shared by the benchmarks, with a full model loaded.
MainWindow& Window(bool scattered = false) {
    static std::unique_ptr<MainWindow> window;
    static int loaded = -1;
    if (!window) {
        window = std::make_unique<MainWindow>();
        window->Build();
        window->show();
    }
    if (loaded != int(scattered)) {
        const QString path = QString::fromStdString(FullModel(scattered));
        SetFileDialogHook([path](const FileDialogSettings& s) {
            return DescribeChosenFile(path, s.defaultSuffix);
        });
        window->OnLoadMd3();
        QApplication::processEvents();
        loaded = int(scattered);
    }
    return *window;
}

void BM_LoadThroughTheWindow(benchmark::State& state) {
    MainWindow& window = Window();
    for (auto _ : state)
        window.OnLoadMd3();
    state.counters["surfaces"] = window.surfaceList()->count();
}

void BM_ReadTheModelBytesOnce(benchmark::State& state) {
    const std::string path = FullModel();
    std::vector<char> buffer(std::filesystem::file_size(path));
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        for (ssize_t got; done < buffer.size() &&
                          (got = ::read(fd, buffer.data() + done, buffer.size() - done)) > 0;)
            done += size_t(got);
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// Selecting a surface: texture name, preview drawing, and the repaint that shows it.
void BM_SelectSurfaceAndPaint(benchmark::State& state) {
    MainWindow& window = Window(state.range(0) != 0);
    int row = 0;
    for (auto _ : state) {
        window.surfaceList()->setCurrentRow(row);
        row = (row + 37) % kMaxSurfaces;
        window.repaint();
    }
}

void BM_OpenExportDialog(benchmark::State& state) {
    MainWindow& window = Window();
    for (auto _ : state) {
        ExportDialog dialog(window.textures(), window.selectedSurface(), &window);
        dialog.Build();
        dialog.show();
        QApplication::processEvents();
        dialog.reject();
    }
}

void BM_CopyAt256(benchmark::State& state) {
    MainWindow& window = Window(state.range(0) != 0);
    window.surfaceList()->setCurrentRow(3);
    ExportDialog dialog(window.textures(), window.selectedSurface(), &window);
    dialog.Build();
    dialog.button("width256")->click();
    dialog.button("height256")->click();
    for (auto _ : state)
        dialog.CopyLayoutToClipboard();
}

void BM_BuildSkinOutline(benchmark::State& state) {
    const QImage skin = LoadPicture("skin").convertToFormat(QImage::Format_RGB32);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            OutlineOf(skin, kMainWindowSize.width(), kMainWindowSize.height()));
}

void BM_PaintTheWindow(benchmark::State& state) {
    MainWindow& window = Window();
    window.surfaceList()->setCurrentRow(5);
    for (auto _ : state)
        window.repaint();
}

} // namespace

BENCHMARK(BM_ReadTheModelBytesOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThroughTheWindow)->Unit(benchmark::kMillisecond);
// Argument 0: mesh layouts; 1: scattered triangles.
BENCHMARK(BM_SelectSurfaceAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenExportDialog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyAt256)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
// The options panel over an 8192-triangle surface: opening it (its live
// preview included), and one option changed with the preview redrawn.
TemplateOptions PanelOptions() {
    TemplateOptions options;
    options.style.width = options.style.height = 2048;
    options.style.antialias = true;
    options.style.lineWidth = 2;
    options.style.fill = Rgba{40, 120, 255, 64};
    return options;
}

void BM_OpenOptionsPanel(benchmark::State& state) {
    MainWindow& window = Window();
    window.surfaceList()->setCurrentRow(0);
    for (auto _ : state) {
        OptionsDialog panel(PanelOptions(), window.textures(), 0, &window);
        panel.Build();
        benchmark::DoNotOptimize(panel.previewImage().constBits());
    }
}

void BM_ChangeOneOptionWithLivePreview(benchmark::State& state) {
    MainWindow& window = Window();
    OptionsDialog panel(PanelOptions(), window.textures(), 0, &window);
    panel.Build();
    auto* overlaps = static_cast<QAbstractButton*>(panel.Control("overlaps"));
    for (auto _ : state) {
        overlaps->click(); // on, then off: each a change the preview follows
        benchmark::DoNotOptimize(panel.previewImage().constBits());
    }
}

BENCHMARK(BM_OpenOptionsPanel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeOneOptionWithLivePreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSkinOutline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintTheWindow)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseGridwrightResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
