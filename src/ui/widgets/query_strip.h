// The strip with the label "Query", a combo box that takes the width left and
// "Execute": below the class's details (Panel4) and above the query result
// (Panel5).
#pragma once

class QComboBox;
class QPushButton;
class QWidget;

namespace ui {

struct QueryStrip {
    QWidget* panel = nullptr;
    QComboBox* combo = nullptr;  // editable; its text runs exactly as typed
    QPushButton* button = nullptr;
};

// The controls are named panelName, labelName, comboName and buttonName.
QueryStrip makeQueryStrip(QWidget* parent, const char* panelName, const char* labelName,
                          const char* comboName, const char* buttonName);

}  // namespace ui
