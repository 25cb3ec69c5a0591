#include "ui/main_window/class_browser.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <exception>

#include "ui/clipboard_text.h"
#include "ui/dialogs/method_dialog.h"
#include "ui/dialogs/mof_text_viewer.h"
#include "ui/dialogs/prompts.h"
#include "ui/grid_rules.h"
#include "ui/main_window/find_views.h"
#include "ui/main_window/instance_browser.h"
#include "ui/main_window/method_tree.h"
#include "ui/method_form.h"
#include "ui/text_codec.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/copy_key.h"
#include "ui/widgets/first_selected.h"
#include "ui/widgets/image_list.h"
#include "ui/widgets/key_icon.h"
#include "ui/widgets/one_line_delegate.h"
#include "ui/widgets/pane_layout.h"
#include "ui/widgets/query_completer.h"
#include "ui/widgets/query_strip.h"
#include "ui/widgets/same_line_click.h"
#include "ui/widgets/string_grid.h"
#include "ui/widgets/wait_cursor.h"
#include "wmi/method_call.h"
#include "wmi/object_access.h"

namespace ui {

namespace {

constexpr int kSplitterWidth = 8;  // Splitter1 and Splitter2
constexpr int kPanel2Height = 248;
constexpr int kPageControl3Width = 252;

// A menu caption shown exactly as given: a '&' is no accelerator mark.
QString caption(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

// The class's property names in column 0 under the header "Property", a
// blank row below them, and column 1 empty but for its header "Value".
void showPropertyNames(StringGrid& grid, const wmi::TextList& names) {
    const int n = int(names.size());
    grid.SetRowCount(n + 2);
    grid.SetCell(0, 0, QStringLiteral("Property"));
    grid.SetCell(1, 0, QStringLiteral("Value"));
    for (int row = 1; row < n + 2; ++row) {
        grid.SetCell(0, row, row <= n ? fromSystem(names[size_t(row - 1)]) : QString());
        grid.SetCell(1, row, QString());
    }
}

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
        grid.SetCell(
            1, row,
            value.empty() ? QStringLiteral(" ") : fromCodePage(value, wmi::LocalCodePage()));
    }
    grid.SetCell(0, n + 1, QString());
    grid.SetCell(1, n + 1, QString());
}

QSplitter* splitter(Qt::Orientation orientation, QWidget* parent, const char* name) {
    auto* s = named(new QSplitter(orientation, parent), name);
    s->setHandleWidth(kSplitterWidth);
    s->setChildrenCollapsible(false);
    return s;
}

}  // namespace

ClassBrowser::ClassBrowser(wmi::TWMI& wmi, InstanceBrowser& instances, Prompts& prompts,
                           std::shared_ptr<const ImageList> images, QWidget* parent)
    : QWidget(parent),
      wmi_(wmi),
      instances_(instances),
      prompts_(prompts),
      images_(std::move(images)) {
    setObjectName(QStringLiteral("TabClasses"));
    buildLayout();
    buildMenus();

    connect(ClassListBox, &QListWidget::itemSelectionChanged, this,
            [this] { ClassListBoxClick(); });
    new SameLineClick(ClassListBox, [this] { ClassListBoxClick(); });
}

void ClassBrowser::buildLayout() {
    auto* Splitter1 = splitter(Qt::Vertical, this, "Splitter1");
    bareColumn(this)->addWidget(Splitter1);
    ClassListBox = named(new ColumnListBox(Splitter1), "ClassListBox");
    auto* Panel2 = named(new QWidget(Splitter1), "Panel2");
    Splitter1->addWidget(ClassListBox);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({200, kPanel2Height});

    auto* lower = bareColumn(Panel2);
    auto* Splitter2 = splitter(Qt::Horizontal, Panel2, "Splitter2");
    lower->addWidget(Splitter2, 1);

    auto* PageControl3 = named(new QTabWidget(Splitter2), "PageControl3");
    PageControl3->addTab(&instances_, QStringLiteral("Instances"));

    auto* PageControl1 = named(new QTabWidget(Splitter2), "PageControl1");
    QWidget* TabSheet1 = addPage(PageControl1, "TabSheet1", QStringLiteral("Properties"));
    QWidget* TabSheet2 = addPage(PageControl1, "TabSheet2", QStringLiteral("Methods"));
    // The grid over the details of its current row, the boundary movable.
    auto* Splitter3 = splitter(Qt::Vertical, TabSheet1, "Splitter3");
    PropGrid = named(new StringGrid(2, Splitter3), "PropGrid");
    PropDetails = named(new QPlainTextEdit(Splitter3), "PropDetails");
    PropDetails->setReadOnly(true);
    PropDetails->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Splitter3->addWidget(PropGrid);
    Splitter3->addWidget(PropDetails);
    Splitter3->setStretchFactor(0, 2);
    Splitter3->setStretchFactor(1, 1);
    connect(PropGrid, &QTableWidget::currentCellChanged, this, [this] { PropGridSelect(); });
    // The value column follows the visible width, which also changes when a
    // scroll bar comes or goes as rows are added.
    PropGrid->viewport()->installEventFilter(this);
    // Values and names with line breaks stay on their rows.
    PropGrid->setItemDelegate(new OneLineDelegate(PropGrid));
    bareColumn(TabSheet1)->addWidget(Splitter3);
    TreeView1 = named(new QTreeWidget(TabSheet2), "TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    bareColumn(TabSheet2)->addWidget(TreeView1);
    PageControl1->setCurrentIndex(0);

    Splitter2->addWidget(PageControl3);
    Splitter2->addWidget(PageControl1);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({kPageControl3Width, 400});

    const QueryStrip strip = makeQueryStrip(Panel2, "Panel4", "Label4", "QueryCombo", "Query1Btn");
    QueryCombo = strip.combo;
    lower->addWidget(strip.panel);
    connect(strip.button, &QPushButton::clicked, this, [this] { Query1BtnClick(); });
}

void ClassBrowser::buildMenus() {
    auto* PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    Refresh2 = popupItem(PopupMenu1, "Refresh2", QStringLiteral("Refresh..."));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N4"));
    Selectfrom1 = popupItem(PopupMenu1, "Selectfrom1", QStringLiteral("Select * from ..."));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N8"));
    ShowMof1 = popupItem(PopupMenu1, "ShowMof1", QStringLiteral("Show MOF text..."));
    connect(ShowMof1, &QAction::triggered, this, [this] { ShowMof1Click(); });
    attachPopup(ClassListBox, PopupMenu1);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1Popup(); });
    connect(Selectfrom1, &QAction::triggered, this, [this] { Selectfrom1Click(); });
    connect(Refresh2, &QAction::triggered, this, [this] { Refresh2Click(); });

    auto* PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    CopyPropert1 = popupItem(PopupMenu2, "CopyPropert1", QStringLiteral("Copy"));
    attachPopup(PropGrid, PopupMenu2);
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] { PopupMenu2Popup(); });
    connect(CopyPropert1, &QAction::triggered, this, [this] { CopyPropert1Click(); });

    auto* PopupMenu4 = named(new QMenu(this), "PopupMenu4");
    ExecuteMethod1 = popupItem(PopupMenu4, "ExecuteMethod1", QStringLiteral("Execute method..."));
    PopupMenu4->addSeparator()->setObjectName(QStringLiteral("N9"));
    Copymethod1 = popupItem(PopupMenu4, "Copymethod1", QStringLiteral("Copy method"));
    Copyallmethods1 = popupItem(PopupMenu4, "Copyallmethods1", QStringLiteral("Copy all methods"));
    attachPopup(TreeView1, PopupMenu4);
    connect(PopupMenu4, &QMenu::aboutToShow, this, [this] { PopupMenu4Popup(); });
    connect(ExecuteMethod1, &QAction::triggered, this, [this] { ExecuteMethod1Click(); });
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* node) {
        if (node && !node->parent()) ExecuteMethod1Click();
    });
    connect(Copymethod1, &QAction::triggered, this, [this] { Copymethod1Click(); });
    connect(Copyallmethods1, &QAction::triggered, this, [this] { Copyallmethods1Click(); });

    copyKeyRuns(PropGrid, CopyPropert1, [this] { PopupMenu2Popup(); });
    copyKeyRuns(TreeView1, Copymethod1, [this] { PopupMenu4Popup(); });
}

bool ClassBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (PropGrid && watched == PropGrid->viewport() && event->type() == QEvent::Resize)
        fitValueColumn();
    return QWidget::eventFilter(watched, event);
}

// --- Class list -----------------------------------------------------------------------

void ClassBrowser::loadClasses() {
    {
        const QSignalBlocker block(ClassListBox);
        try {
            WaitCursor wait;
            ClassListBox->clear();
            wmi::TextList names;
            const bool ok = wmi_.GetClasses(names);
            ClassListBox->SetSortedItems(std::move(names));
            wait.restore();
            if (!ok) prompts_.error(QStringLiteral("Error: ") + fromSystem(wmi_.LastError));
        } catch (const std::exception& e) {
            prompts_.error(errorText(e));
        }
        ClassListBox->setCurrentItem(nullptr);
        ClassListBox->clearSelection();
    }
    // Nothing is selected in the new list: what the views showed belongs to
    // the previous list, perhaps of another host, and must not pass for this one.
    instances_.stop();
    instances_.clear();
    TreeView1->clear();
    clearGrid();
    currentClassCleared_ = true;
}

int ClassBrowser::classCount() const { return ClassListBox->count(); }

std::vector<std::string> ClassBrowser::classNames() const { return ClassListBox->Items(); }

void ClassBrowser::completeFrom(std::shared_ptr<CompletionNames> names) {
    completeQueries(*QueryCombo, std::move(names));
}

void ClassBrowser::ClassListBoxClick() {
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (!selected) {
        instances_.stop();
        currentClass_.clear();
        TreeView1->clear();
        return;
    }
    const std::string name = toSystem(selected->text());
    // Repeated notifications change nothing.
    if (name == currentClass_ && !currentClassCleared_) return;
    currentClass_ = name;
    currentClassCleared_ = false;

    bool reported = false;
    {
        WaitCursor wait;
        try {
            instances_.listInstancesOf(name);
            QueryCombo->setEditText(QStringLiteral("select * from ") + fromSystem(name));
            wmi::TextList names;
            // One lookup gives the names and what the details pane shows of them.
            const bool ok = wmi::ClassDetails(wmi_, name, names, classDetails_);
            showPropertyNames(*PropGrid, names);
            shownPath_.reset();
            markRows();
            wait.restore();
            if (!ok) {
                reported = true;
                prompts_.error(fromSystem(wmi_.LastError));
            }
        } catch (const std::exception& e) {
            wait.restore();
            reported = true;
            prompts_.error(errorText(e));
        }
    }
    // Also after a failure: the tree must not go on showing the last class.
    showMethods(!reported);
}

void ClassBrowser::showMethods(bool reportFailure) {
    TreeView1->clear();
    try {
        wmi::TextList names;
        wmi::TextList inParams;
        wmi::TextList outParams;
        const bool ok = wmi_.ClassMethods(currentClass_, names, &inParams, &outParams);
        AddMethodNodes(*TreeView1, *images_, names, inParams, outParams);
        // A tree cut short must not pass for the class's methods; one error
        // box per selection is enough when the property call failed as well.
        if (!ok && reportFailure) prompts_.error(fromSystem(wmi_.LastError));
    } catch (const std::exception& e) {
        prompts_.error(errorText(e));
    }
}

void ClassBrowser::showInstanceValues(const wmi::TextList& names, const wmi::TextList& values) {
    // The values are those of the instance at the line chosen just now.
    shownPath_ = instances_.selectedPath();
    instanceDetailsRead_ = false;
    instanceDetails_ = {};
    showValues(*PropGrid, names, values);
    markRows();
}

void ClassBrowser::PopupMenu1Popup() {
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (!selected) {
        Selectfrom1->setText(QStringLiteral("select * from ..."));
        Refresh2->setText(QStringLiteral("Refresh"));
    } else {
        selectFromQuery_ = "select * from " + toSystem(selected->text());
        Selectfrom1->setText(caption(fromSystem(selectFromQuery_)));
        Refresh2->setText(caption(QStringLiteral("Refresh instances (%1)").arg(selected->text())));
    }
    Selectfrom1->setEnabled(selected != nullptr);
    Refresh2->setEnabled(selected != nullptr);
    ShowMof1->setEnabled(selected != nullptr);
}

void ClassBrowser::ShowMof1Click() {
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (!selected) return;
    const QString name = selected->text();
    std::string text;
    {
        WaitCursor wait;
        if (!wmi::ObjectMofText(wmi_, toSystem(name), text)) {
            wait.restore();
            prompts_.error(fromSystem(wmi_.LastError));
            return;
        }
    }
    showMofText(name, QString::fromStdString(text), window());
}

void ClassBrowser::Selectfrom1Click() { emit queryRequested(fromSystem(selectFromQuery_)); }

void ClassBrowser::Refresh2Click() {
    // The command names the selected class. When the search moved the
    // selection away from the class on show, that class is shown in full,
    // rather than listing the instances of another one under its name.
    const QListWidgetItem* selected = firstSelected(*ClassListBox);
    if (selected && toSystem(selected->text()) != currentClass_) {
        ClassListBoxClick();
        return;
    }
    instances_.listAgain();
}

void ClassBrowser::Query1BtnClick() { emit queryRequested(QueryCombo->currentText()); }

// --- Find -----------------------------------------------------------------------------

int ClassBrowser::findClass(const QString& text, const FindOptions& options) {
    return FindInListBox(*ClassListBox, text, options);
}

void ClassBrowser::showFoundClass() {
    ClassListBox->setFocus();
    // The class is only shown as found, not selected as the user would: its
    // properties and instances come when the user picks it.
    clearGrid();
    // Picking the class shown before later shows it afresh.
    instances_.stop();
    currentClassCleared_ = true;
}

// --- The grid -------------------------------------------------------------------------

void ClassBrowser::clearGrid() {
    PropGrid->SetRowCount(2);
    PropGrid->SetCell(0, 1, QString());
    PropGrid->SetCell(1, 1, QString());
    classDetails_ = {};
    shownPath_.reset();
    markRows();
}

void ClassBrowser::markRows() {
    static const QIcon key = keyIcon();
    for (int row = 1; row < PropGrid->RowCount(); ++row) {
        QTableWidgetItem* cell = PropGrid->item(row - 1, 0);
        if (!cell) continue;
        const wmi::PropertyDetails* p = classDetails_.find(toSystem(cell->text()));
        cell->setIcon(p && p->isKey ? key : QIcon());
        cell->setToolTip(p ? QString::fromStdString(p->type) : QString());
    }
    PropGridSelect();
}

void ClassBrowser::PropGridSelect() {
    const int row = PropGrid->currentRow() + 1;  // grid rows count the header as 0
    const QString name = row >= 1 ? PropGrid->Cell(0, row) : QString();
    const wmi::PropertyDetails* details = nullptr;
    if (!name.isEmpty() && shownPath_) {
        if (!instanceDetailsRead_) {
            WaitCursor wait;
            instanceDetailsRead_ = true;
            instanceDetailsError_.clear();
            if (!wmi::InstanceDetails(wmi_, *shownPath_, instanceDetails_))
                instanceDetailsError_ = wmi_.LastError;
        }
        details = instanceDetails_.find(toSystem(name));
    } else if (!name.isEmpty()) {
        details = classDetails_.find(toSystem(name));
    }
    if (details)
        PropDetails->setPlainText(QString::fromStdString(wmi::DetailsPaneText(*details)));
    else if (!name.isEmpty() && shownPath_ && !instanceDetailsError_.empty())
        PropDetails->setPlainText(QStringLiteral("The details could not be read: ") +
                                  fromSystem(instanceDetailsError_));
    else
        PropDetails->clear();
}

void ClassBrowser::fitValueColumn() {
    if (auto width = valueColumnWidth(PropGrid->ClientWidth(), PropGrid->ColumnWidth(0),
                                      PropGrid->ColumnWidth(1)))
        PropGrid->SetColumnWidth(1, *width);
}

void ClassBrowser::fitRowHeight() {
    // The height of the text "%CWIJpq" in the grid's font, plus 4 pixels.
    PropGrid->SetDefaultRowHeight(
        PropGrid->fontMetrics().size(Qt::TextSingleLine, QStringLiteral("%CWIJpq")).height() + 4);
}

// --- Copy commands --------------------------------------------------------------------

void ClassBrowser::PopupMenu2Popup() {
    CopyPropert1->setEnabled(PropGrid->RowCount() >= 2 &&
                             PropGrid->selectionModel()->hasSelection());
}

void ClassBrowser::CopyPropert1Click() {
    putOnClipboard(PropertyLinesText(SelectedGridRows(*PropGrid)));
}

void ClassBrowser::PopupMenu4Popup() {
    ExecuteMethod1->setEnabled(firstSelected(*TreeView1) != nullptr);
    Copymethod1->setEnabled(firstSelected(*TreeView1) != nullptr);
    Copyallmethods1->setEnabled(TreeView1->topLevelItemCount() > 0);
}

void ClassBrowser::Copymethod1Click() {
    const QTreeWidgetItem* node = firstSelected(*TreeView1);
    if (!node) return;
    if (node->parent()) node = node->parent();  // a parameter copies its method
    putOnClipboard(MethodText(*node));
}

void ClassBrowser::ExecuteMethod1Click() {
    const QTreeWidgetItem* node = firstSelected(*TreeView1);
    if (!node) return;
    if (node->parent()) node = node->parent();  // a parameter runs its method
    // The dialog outlives this call and the selection: it keeps its own
    // connection settings, signature and target.
    const wmi::TWMI conn = wmi_;
    try {
        WaitCursor wait;
        auto services = conn.OpenServices();
        auto signature = wmi::DescribeMethod(*services, currentClass_, toSystem(node->text(0)));
        // A chosen line without a path must not fall through to "select one".
        const wmi::LinePath chosen = instances_.selectedPath();
        if (!signature.isStatic && chosen && chosen->empty()) {
            wait.restore();
            prompts_.error(fromSystem(wmi::NoPathError()));
            return;
        }
        QString error;
        const auto target = CallTarget(signature, chosen.value_or(std::string()), error);
        wait.restore();
        if (!target) {
            prompts_.error(error);
            return;
        }
        auto run = [conn, signature, path = *target](const wmi::MethodArguments& arguments) {
            WaitCursor wait;
            return wmi::RunMethod(*conn.OpenServices(), path, signature, arguments, 65001);
        };
        showMethodDialog(std::move(signature), fromSystem(*target), run, prompts_, window());
    } catch (const std::exception& e) {
        prompts_.error(errorText(e));
    }
}

void ClassBrowser::Copyallmethods1Click() { putOnClipboard(AllMethodsText(*TreeView1)); }

}  // namespace ui
