// The instance browser: selecting an instance line shows the names and values
// of the instance at that line's position in the class's enumeration.
#include <QListWidget>
#include <exception>

#include "ui/dialogs/prompts.h"
#include "ui/main_window/win1.h"
#include "ui/text_codec.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/one_line_delegate.h"
#include "ui/widgets/same_line_click.h"
#include "ui/widgets/string_grid.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

namespace {

// Values are rendered in this code page, whatever the connection's.
constexpr int kValueCodePage = 1250;

// Names and values under the headers, a blank row below them; an empty
// value is one blank, so that the row still reads as filled.
void showValues(StringGrid& grid, const wmi::TextList& names, const wmi::TextList& values) {
    const int n = int(names.size());
    grid.SetRowCount(n + 2);
    grid.SetCell(0, 0, QStringLiteral("Property"));
    grid.SetCell(1, 0, QStringLiteral("Value"));
    for (int row = 1; row <= n; ++row) {
        const size_t i = size_t(row - 1);
        const std::string& value = i < values.size() ? values[i] : std::string();
        grid.SetCell(0, row, fromSystem(names[i]));
        grid.SetCell(1, row,
                     value.empty() ? QStringLiteral(" ") : fromCodePage(value, kValueCodePage));
    }
    grid.SetCell(0, n + 1, QString());
    grid.SetCell(1, n + 1, QString());
}

}  // namespace

void TMainWin::wireInstanceBrowser() {
    // Values and names with line breaks stay on their rows.
    PropGrid->setItemDelegate(new OneLineDelegate(PropGrid));
    InstanceListBox->setItemDelegate(new OneLineDelegate(InstanceListBox));
    connect(InstanceListBox, &QListWidget::itemSelectionChanged, this,
            [this] { InstanceListBoxClick(); });
    new SameLineClick(InstanceListBox, [this] { InstanceListBoxClick(); });
}

void TMainWin::InstanceListBoxClick() {
    const QModelIndexList selected = InstanceListBox->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    const int32_t position = selected.first().row();

    WaitCursor wait;
    try {
        const bool ok = WMI->InstanceValuesAt(CurrentClass, position, &ResultColumns, &ResultCells);
        showValues(*PropGrid, ResultColumns, ResultCells);
        wait.restore();
        if (!ok) prompts_.error(fromSystem(WMI->LastError));
    } catch (const std::exception& e) {
        wait.restore();
        prompts_.error(errorText(e));
    }
}

}  // namespace ui
