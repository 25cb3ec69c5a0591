// A small window of its own for one object, opened from a query's row or an
// association: its path (ObjectPath), its properties' names and values
// (ObjectGrid), and buttons to follow its associations (AssociatorsBtn,
// ReferencesBtn). Closing it frees it.
#pragma once

#include <QDialog>
#include <string>

#include "wmi/bw_wmi.h"

class QLineEdit;
class QTreeWidget;

namespace ui {

class Prompts;

class ObjectWindow : public QDialog {
    Q_OBJECT

  public:
    // The connection and the prompts must outlive the window.
    ObjectWindow(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent = nullptr);

    // Reads the object anew; false (and an error box) when it cannot be read.
    bool showObject(const std::string& path);
    const std::string& path() const { return path_; }

  private:
    wmi::TWMI& wmi_;
    Prompts& prompts_;
    std::string path_;

    QLineEdit* ObjectPath = nullptr;
    QTreeWidget* ObjectGrid = nullptr;
};

// Opens the object in a new window beside `parent`; the window frees itself
// when closed. Null (and an error box) when the object cannot be read.
ObjectWindow* openObjectWindow(wmi::TWMI& wmi, Prompts& prompts, QWidget* parent,
                               const std::string& path);

}  // namespace ui
