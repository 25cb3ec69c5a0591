// Start-up of the main window against a minimal Qt program, each a fresh
// process of this same binary (so both load the same libraries), timed from
// the spawn until the process has shown what it shows, alternating in each
// iteration:
//   StartupVsMinimalQt   until the class list of root\cimv2 is shown, against
//                        a program that shows an empty window (goal <= 1.5).
//                        window_over_minimal compares wall-clock times; the
//                        cpu_ ratio compares the processor time the two
//                        processes used, which a busy machine does not inflate.
//                        window_over_text compares with a program that shows
//                        one line of text in its window: an empty window never
//                        reads the system's font configuration, which any
//                        window with text pays for.
//                        window_over_plain_qt compares with the empty window
//                        of a program of Qt alone (startup_plain_qt): the other
//                        children are this binary and load all its libraries,
//                        which that one does not, so this ratio also counts
//                        what loading them costs every start.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/dialogs/prompts.h"
#include "ui/main_window/win1.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kChildFlag = "--startup-child=";

// Prompts that never block: a child that meets a box has failed.
class NoPrompts : public ui::Prompts {
  public:
    void error(const QString&) override { std::_Exit(3); }
    void plain(const QString&) override { std::_Exit(3); }
    void warning(const QString&) override { std::_Exit(3); }
    bool question(const QString&) override { std::_Exit(3); }
    std::optional<QString> saveFile(const ui::SaveRequest&) override { std::_Exit(3); }
    std::optional<QString> openFile(const ui::OpenRequest&) override { std::_Exit(3); }
};

// Ends the child as soon as the window is on the screen and has painted.
[[noreturn]] void exitWhenShown(QWidget& window) {
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    std::_Exit(0);
}

int child(const std::string& mode, int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (mode == "minimal") {
        QWidget window;
        window.resize(724, 471);
        window.show();
        exitWhenShown(window);
    }
    if (mode == "text") {
        QLabel window(QStringLiteral("Classes: 107"));
        window.resize(724, 471);
        window.show();
        exitWhenShown(window);
    }
    QTemporaryDir dir;
    NoPrompts prompts;
    ui::MainWindowOptions options;
    options.settingsFile = dir.filePath(QStringLiteral("cimscope.ini")).toStdString();
    ui::TMainWin window(prompts, std::move(options));
    QObject::connect(&window, &ui::TMainWin::classListLoaded, [&window] {
        if (window.StatusText(1).startsWith(QStringLiteral("Classes: "))) exitWhenShown(window);
    });
    window.show();
    return QApplication::exec();
}

struct ChildTime {
    double wall = -1;  // seconds from the spawn to the end
    double cpu = -1;   // user and system seconds of the child
};

// This binary as the child `mode`, or with `program` that program alone.
ChildTime runChild(const char* mode, const char* program = nullptr) {
    const std::string flag = std::string(kChildFlag) + mode;
    const char* path = program ? program : "/proc/self/exe";
    char* args[] = {const_cast<char*>(path), program ? nullptr : const_cast<char*>(flag.c_str()),
                    nullptr};
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, path, nullptr, nullptr, args, environ) != 0) return {};
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    auto secs = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {wall, secs(usage.ru_utime) + secs(usage.ru_stime)};
}

void StartupVsMinimalQt(benchmark::State& state) {
    double window = 0, minimal = 0, text = 0, plain = 0, windowCpu = 0, minimalCpu = 0;
    for (auto _ : state) {
        const ChildTime m = runChild("minimal");
        const ChildTime w = runChild("window");
        const ChildTime t = runChild("text");
        const ChildTime p = runChild("plain", CIMSCOPE_PLAIN_QT);
        if (m.wall < 0 || w.wall < 0 || t.wall < 0 || p.wall < 0) {
            state.SkipWithError("a child process failed");
            return;
        }
        text += t.wall;
        plain += p.wall;
        minimal += m.wall;
        window += w.wall;
        minimalCpu += m.cpu;
        windowCpu += w.cpu;
    }
    const double n = double(state.iterations());
    state.counters["window_s"] = window / n;
    state.counters["minimal_qt_s"] = minimal / n;
    state.counters["window_over_minimal"] = window / minimal;
    state.counters["text_window_s"] = text / n;
    state.counters["window_over_text"] = window / text;
    state.counters["plain_qt_s"] = plain / n;
    state.counters["window_over_plain_qt"] = window / plain;
    state.counters["window_cpu_s"] = windowCpu / n;
    state.counters["minimal_qt_cpu_s"] = minimalCpu / n;
    state.counters["cpu_window_over_minimal"] = windowCpu / minimalCpu;
}
BENCHMARK(StartupVsMinimalQt)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], kChildFlag, std::strlen(kChildFlag)) == 0)
            return child(argv[i] + std::strlen(kChildFlag), 1, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
