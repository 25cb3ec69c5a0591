// The associations of one object: "Associated objects" (ASSOCIATORS OF, each
// object under the association class and role that lead to it) or
// "References" (REFERENCES OF, each association under its class and role).
// AssociationTree holds a node per group and the entries below it; a double
// click on an entry or OpenBtn opens it as an object. Closing it frees it.
#pragma once

#include <QDialog>
#include <string>

#include "wmi/bw_wmi.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class Prompts;

class AssociationsWin : public QDialog {
    Q_OBJECT

  public:
    enum class Kind { Associators, References };

    // The connection and the prompts must outlive the window.
    AssociationsWin(wmi::TWMI& wmi, Prompts& prompts, Kind kind, QWidget* parent = nullptr);

    // Lists the object's associations anew; false (and an error box) when
    // the service refused.
    bool showAssociations(const std::string& path);

    // Opens the selected entry as an object.
    void OpenBtnClick();

  private:
    wmi::TWMI& wmi_;
    Prompts& prompts_;
    Kind kind_;

    QTreeWidget* AssociationTree = nullptr;
    QPushButton* OpenBtn = nullptr;
};

// Opens the window for the object beside `parent`; it frees itself when
// closed. Null (and an error box) when the associations cannot be listed.
AssociationsWin* openAssociationsWin(wmi::TWMI& wmi, Prompts& prompts, AssociationsWin::Kind kind,
                                     QWidget* parent, const std::string& path);

}  // namespace ui
