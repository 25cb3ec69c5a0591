// cimscope: starts the main window on this machine's WMI service and runs
// until the window closes.
#include <QApplication>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "help/hh.h"
#include "settings/program_dir.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/main_window/win1.h"
#include "wmi/instances_thread.h"
#include "wmi/query_thread.h"

int main(int argc, char** argv) {
    // Qt takes its own options (-platform, -style, ...) out of argv here.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cimscope"));

    // The help file beside the program and the library that reads it; the
    // help window closes and the library is released when this ends.
    help::HelpSession helpSession(settings::ProgramDir());
    ui::DialogPrompts prompts;
    ui::MainWindowOptions options;
    options.settingsFile = settings::SettingsFileName();
    for (int i = 1; i < argc; ++i) options.arguments.emplace_back(argv[i]);

    // The main window builds the connect dialog, the namespace chooser and the
    // find dialog once, when first needed.
    auto window = std::make_unique<ui::TMainWin>(prompts, std::move(options));
    window->show();
    const int code = QApplication::exec();
    window.reset();
    // The instance thread and a stopped query end by themselves once told;
    // give them a moment so that no worker outlives the program, but no more:
    // one blocked on a silent host must not keep it from ending.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(2));
    wmi::QueryThread::WaitForAllEnded(std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()));
    return code;
}
