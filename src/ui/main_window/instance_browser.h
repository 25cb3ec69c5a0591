// The instance browser: the Instances page (TabSheet4) of the Classes tab.
// InstanceListBox shows a line per instance of the class on show, listed in
// the background by the instance thread, each with its instance's path;
// choosing a line reads that instance again by its path. Its menu
// (PopupMenu3) and Ctrl+C copy a line or the whole list; the menu also
// follows the chosen instance's associations (dialogs/associations_win.h).
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/dialogs/associations_win.h"
#include "wmi/bw_wmi.h"
#include "wmi/target_list.h"

class QAction;
class QMenu;

namespace wmi {
class TWMIInstancesThread;
}

namespace ui {

class InstanceLineBox;
class Prompts;

class InstanceBrowser : public QWidget {
    Q_OBJECT

  public:
    // A run ends once more than this many instances were listed.
    static constexpr int kInstanceLimit = 30000;

    // The connection and the prompts must outlive the browser.
    InstanceBrowser(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent = nullptr);
    // The thread is told to end and frees itself; nobody waits.
    ~InstanceBrowser() override;

    // Empties the list and lists the class's instances in the order they arrive.
    void listInstancesOf(const std::string& className);
    // Lists the instances of the same class again from the first.
    void listAgain();
    // Ends the listing of the class on show, so that its lines do not fill the
    // list again, and empties the list.
    void stop();
    // Empties the list; a listing under way goes on.
    void clear();
    const wmi::TWMIInstancesThread& thread() const { return *thread_; }
    // The object path of the selected line's instance: none without a
    // selected line or for a line of no instance (the placeholder, an error
    // line), "" for an instance that has no path.
    wmi::LinePath selectedPath() const;

    // --- The design's handlers -------------------------------------------------------
    // Runs at every selection change of InstanceListBox and at a click on the
    // line that is already selected.
    void InstanceListBoxClick();
    void PopupMenu3Popup();  // enables Copy1item1 and Copylist1
    void Copy1item1Click();  // the selected line
    void Copylist1Click();   // every line, each ending in CR LF
    void ShowMof2Click();    // the MOF text of the selected line's instance
    // "Associated objects..." and "References..." of the selected line's instance.
    void showAssociations(AssociationsWin::Kind kind);

  signals:
    // A listing was asked for; it ends with listingDone.
    void listingStarted();
    // A run ended with `count` instances, or with the error line (empty after a good run).
    void listingDone(int count, const QString& error);
    // The names and values of the chosen line's instance, as far as they were read.
    void valuesRead(const wmi::TextList& names, const wmi::TextList& values);

  private:
    wmi::TWMI& wmi_;
    Prompts& prompts_;
    wmi::TWMIInstancesThread* thread_ = nullptr;  // frees itself
    std::string className_;                       // of the last listing asked for

    InstanceLineBox* InstanceListBox = nullptr;
    QAction* Copy1item1 = nullptr;
    QAction* Copylist1 = nullptr;
    QAction* ShowMof2 = nullptr;
    QAction* Associated2 = nullptr;
    QAction* References2 = nullptr;
};

}  // namespace ui
