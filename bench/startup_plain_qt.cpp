// An empty window from a program of Qt alone: the start-up benchmark's
// baseline without any of Cimscope's libraries. Ends once it has painted.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QWidget window;
    window.resize(724, 471);
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents();
    std::_Exit(0);
}
