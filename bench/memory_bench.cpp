// Peak memory of the real main window listing a folder of 10,000 certificates. Each measurement
// runs in a fresh process (this program started again with --measure-peak), so that nothing the
// benchmark itself allocated, and no earlier measurement, is counted.
#include "bench_folder.h"

#include "app/varnok_quillet_dlg.h"
#include "window_refresh.h"

#include <QApplication>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr double kTargetMegabytes = 80;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
            return std::stol(line.substr(length + 1));
    }
    return -1;
}

// The measuring process: the window opens on the folder XDG_DATA_HOME names, ticks once and
// paints. Prints "<kB resident before the tick> <kB peak>".
int MeasurePeak(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    CVarnokQuilletDlg window;
    if (auto* timer = window.findChild<QTimer*>(QStringLiteral("refreshTimer")))
        timer->stop();
    window.show();
    QCoreApplication::processEvents();
    const long before = StatusKilobytes("VmRSS");
    RefreshAndWait(window);
    QCoreApplication::processEvents();
    RefreshAndWait(window);
    QCoreApplication::processEvents();
    std::printf("%ld %ld %zu\n", before, StatusKilobytes("VmHWM"), window.filePaths().size());
    return 0;
}

struct PeakReading {
    long beforeKb = -1;
    long peakKb = -1;
    std::size_t rows = 0;
};

PeakReading RunMeasurement(const BenchFolder& folder) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::setenv("XDG_DATA_HOME", folder.dataHome.c_str(), 1);
        char self[] = "/proc/self/exe";
        char flag[] = "--measure-peak";
        char* arguments[] = {self, flag, nullptr};
        ::execv(self, arguments);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string output;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    PeakReading reading;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        std::sscanf(output.c_str(), "%ld %ld %zu", &reading.beforeKb, &reading.peakKb,
                    &reading.rows);
    return reading;
}

void BM_PeakMemory(benchmark::State& state) {
    const BenchFolder& folder = FolderOf(static_cast<std::size_t>(state.range(0)));
    PeakReading reading;
    for (auto _ : state) {
        reading = RunMeasurement(folder);
        if (reading.peakKb < 0 || reading.rows != folder.files) {
            state.SkipWithError("the measuring process failed or did not list every file");
            return;
        }
    }
    const double peak = static_cast<double>(reading.peakKb) / 1024;
    state.counters["peak_MB"] = peak;
    state.counters["window_before_tick_MB"] = static_cast<double>(reading.beforeKb) / 1024;
    state.counters["x_target"] = peak / kTargetMegabytes;
    state.counters["files"] = static_cast<double>(folder.files);
}

} // namespace

BENCHMARK(BM_PeakMemory)->Arg(10000)->Iterations(1);

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--measure-peak") == 0)
        return MeasurePeak(argc, argv);
    return RunBenchmarks(argc, argv);
}
