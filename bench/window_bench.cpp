// Refresh ticks of the real main window and updates of its Certificates list, on the offscreen
// platform, each next to its reference measured in the same run. A tick is timed by the work of
// the refresh it starts on its own thread; latency_ms adds the time until the window adopted it.
#include "bench_folder.h"

#include "app/varnok_quillet_dlg.h"
#include "catalogue/certificate_catalogue.h"
#include "catalogue/certificate_list_model.h"
#include "catalogue/certificate_rows.h"
#include "catalogue/folder_scan.h"
#include "window_refresh.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <memory>

namespace fs = std::filesystem;

namespace {

// The window as an operator sees it, with its own refresh timer stopped so that only the
// benchmark ticks it.
std::unique_ptr<CVarnokQuilletDlg> OpenWindow() {
    auto window = std::make_unique<CVarnokQuilletDlg>();
    if (auto* timer = window->findChild<QTimer*>(QStringLiteral("refreshTimer")))
        timer->stop();
    window->show();
    QCoreApplication::processEvents();
    return window;
}

bool Shows(benchmark::State& state, const CVarnokQuilletDlg& window, std::size_t rows) {
    if (window.filePaths().size() == rows && window.propertyLists().size() == rows)
        return true;
    state.SkipWithError("the window does not show every file of the folder");
    return false;
}

// A window that has had its first tick on `folder`, or null
// (the benchmark is then skipped with the reason).
std::unique_ptr<CVarnokQuilletDlg> OpenWindowOn(benchmark::State& state,
                                                const BenchFolder& folder) {
    UseFolder(folder);
    auto window = OpenWindow();
    RefreshAndWait(*window);
    if (!Shows(state, *window, folder.files))
        window.reset();
    return window;
}

// Nothing changed since the last tick: one scan that finds no difference.
void BM_IdleTick(benchmark::State& state) {
    const BenchFolder& folder = FolderOf(static_cast<std::size_t>(state.range(0)));
    const auto window = OpenWindowOn(state, folder);
    if (!window)
        return;
    double tick = 0, floor = 0, latency = 0;
    for (auto _ : state) {
        floor += Seconds([&] { benchmark::DoNotOptimize(BareListing(folder.folder)); });
        double seconds = 0;
        latency += Seconds([&] { seconds = RefreshAndWait(*window); });
        tick += seconds;
        state.SetIterationTime(seconds);
    }
    ReportAgainst(state, "floor", tick, floor);
    state.counters["latency_ms"] = latency * 1000 / static_cast<double>(state.iterations());
    state.counters["files"] = static_cast<double>(folder.files);
}

// One certificate was added since the last tick: the rows are rebuilt.
void BM_TickAfterAdd(benchmark::State& state) {
    const BenchFolder& folder = FolderOf(static_cast<std::size_t>(state.range(0)));
    const auto window = OpenWindowOn(state, folder);
    if (!window)
        return;
    const fs::path added = folder.folder / "zz-added.crt";
    double tick = 0, idle = 0, redecode = 0, latency = 0;
    for (auto _ : state) {
        WriteBenchFile(added, SampleCertificates().front().der);
        double seconds = 0;
        latency += Seconds([&] { seconds = RefreshAndWait(*window); });
        if (!Shows(state, *window, folder.files + 1))
            break;
        tick += seconds;
        state.SetIterationTime(seconds);
        QCoreApplication::processEvents();

        fs::remove(added);
        RefreshAndWait(*window);
        QCoreApplication::processEvents();
        idle += RefreshAndWait(*window);
        redecode += Seconds([&] {
            benchmark::DoNotOptimize(RedecodeEverything(folder.folder, ReadCertificateProperties));
        });
    }
    ReportAgainst(state, "redecode", tick, redecode);
    ReportAgainst(state, "idle", tick, idle);
    state.counters["latency_ms"] = latency * 1000 / static_cast<double>(state.iterations());
}

// The first tick of a new window: every certificate is decoded.
void BM_ColdTick(benchmark::State& state) {
    const BenchFolder& folder = FolderOf(static_cast<std::size_t>(state.range(0)));
    UseFolder(folder);
    double tick = 0, obvious = 0, latency = 0;
    for (auto _ : state) {
        auto window = OpenWindow();
        double seconds = 0;
        latency += Seconds([&] { seconds = RefreshAndWait(*window); });
        if (!Shows(state, *window, folder.files))
            break;
        tick += seconds;
        state.SetIterationTime(seconds);
        obvious += Seconds([&] {
            benchmark::DoNotOptimize(RedecodeEverything(folder.folder, ReadWithFullDecoder));
        });
        window.reset();
        QCoreApplication::processEvents();
    }
    ReportAgainst(state, "d2i_redecode", tick, obvious);
    state.counters["latency_ms"] = latency * 1000 / static_cast<double>(state.iterations());
}

// The per-row state of a folder, as a tick leaves it.
CertificateCatalogue CatalogueOf(const BenchFolder& folder) {
    CertificateCatalogue catalogue;
    ScanError error;
    if (auto update = catalogue.Rescan(folder.folder, error))
        catalogue.Adopt(std::move(*update));
    return catalogue;
}

// Showing a new set of rows in the Certificates list, against refilling an item widget with the
// same rows.
void BM_ListViewUpdate(benchmark::State& state) {
    const BenchFolder& folder = FolderOf(static_cast<std::size_t>(state.range(0)));
    CertificateCatalogue shown = CatalogueOf(folder);
    CertificateCatalogue next = CatalogueOf(folder);

    QTableView view;
    auto* model = new CertificateListModel(shown, &view);
    view.setModel(model);
    view.resize(700, 400);
    view.show();
    QTableWidget widget(0, 4);
    widget.resize(700, 400);
    widget.show();
    QCoreApplication::processEvents();

    double update = 0, items = 0;
    for (auto _ : state) {
        const double seconds =
            Seconds([&] { model->Reset([&]() noexcept { std::swap(shown, next); }); });
        update += seconds;
        state.SetIterationTime(seconds);
        QCoreApplication::processEvents();

        items += Seconds([&] {
            widget.clearContents();
            widget.setRowCount(static_cast<int>(shown.size()));
            for (std::size_t i = 0; i < shown.size(); ++i) {
                const CertificateRowCells cells =
                    CellsOfRow(shown.filePaths()[i], shown.propertyLists()[i]);
                const std::u16string* texts[] = {&cells.fileName, &cells.commonName,
                                                 &cells.validFrom, &cells.validTo};
                for (int column = 0; column < 4; ++column)
                    widget.setItem(static_cast<int>(i), column,
                                   new QTableWidgetItem(ToQString(*texts[column])));
            }
        });
        QCoreApplication::processEvents();
    }
    ReportAgainst(state, "item_widget", update, items);
    state.counters["rows"] = static_cast<double>(shown.size());
}

} // namespace

BENCHMARK(BM_IdleTick)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickAfterAdd)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ColdTick)
    ->Arg(1000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ListViewUpdate)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return RunBenchmarks(argc, argv);
}
