// The main window's controls, menus and status bar, built in code.
#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/main_window/result_model.h"
#include "ui/main_window/win1.h"
#include "ui/widgets/column_list_box.h"
#include "ui/widgets/instance_line_box.h"
#include "ui/widgets/named.h"
#include "ui/widgets/string_grid.h"

namespace ui {

namespace {

constexpr int kStripHeight = 26;   // Panel4 and Panel5
constexpr int kSplitterWidth = 8;  // Splitter1 and Splitter2
constexpr int kPanel2Height = 248;
constexpr int kPageControl3Width = 252;
constexpr int kStatusWidths[3] = {180, 90, 200};

QVBoxLayout* bareColumn(QWidget* parent) {
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

// A strip with the label "Query", a stretching combo box and "Execute".
QWidget* queryStrip(QWidget* parent, const char* name, QLabel*& label, QComboBox*& combo,
                    QPushButton*& button, const char* labelName, const char* comboName,
                    const char* buttonName) {
    auto* strip = named(new QWidget(parent), name);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(6);
    label = named(new QLabel(QStringLiteral("Query"), strip), labelName);
    combo = named(new QComboBox(strip), comboName);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);  // the text is run exactly as typed
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(20);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button = named(new QPushButton(QStringLiteral("Execute"), strip), buttonName);
    row->addWidget(label);
    row->addWidget(combo, 1);
    row->addWidget(button);
    strip->setFixedHeight(std::max(kStripHeight, combo->sizeHint().height() + 2));
    return strip;
}

QWidget* page(QTabWidget* tabs, const char* name, const QString& caption) {
    auto* widget = named(new QWidget(tabs), name);
    tabs->addTab(widget, caption);
    return widget;
}

void attachPopup(QAbstractScrollArea* view, QMenu* menu) {
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        view, &QWidget::customContextMenuRequested, menu,
        [view, menu](const QPoint& pos) { menu->popup(view->viewport()->mapToGlobal(pos)); });
}

}  // namespace

void TMainWin::buildLayout() {
    Panel1 = named(new QWidget(this), "Panel1");
    setCentralWidget(Panel1);
    auto* layout = bareColumn(Panel1);
    PageControl2 = named(new QTabWidget(Panel1), "PageControl2");
    layout->addWidget(PageControl2);
    TabClasses = page(PageControl2, "TabClasses", QStringLiteral("Classes"));
    TabQuery = page(PageControl2, "TabQuery", QStringLiteral("Query"));

    buildClassesPage();
    buildQueryPage();
    buildStatusBar();
    buildMainMenu();
    buildPopupMenus();

    connect(PageControl2, &QTabWidget::currentChanged, this, [this] { PageControl2Change(); });
}

void TMainWin::buildClassesPage() {
    auto* layout = bareColumn(TabClasses);
    Splitter1 = named(new QSplitter(Qt::Vertical, TabClasses), "Splitter1");
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    ClassListBox = named(new ColumnListBox(Splitter1), "ClassListBox");
    Panel2 = named(new QWidget(Splitter1), "Panel2");
    Splitter1->addWidget(ClassListBox);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({200, kPanel2Height});

    auto* lower = bareColumn(Panel2);
    Splitter2 = named(new QSplitter(Qt::Horizontal, Panel2), "Splitter2");
    Splitter2->setHandleWidth(kSplitterWidth);
    Splitter2->setChildrenCollapsible(false);
    lower->addWidget(Splitter2, 1);

    PageControl3 = named(new QTabWidget(Splitter2), "PageControl3");
    TabSheet4 = page(PageControl3, "TabSheet4", QStringLiteral("Instances"));
    InstanceListBox = named(new InstanceLineBox(TabSheet4), "InstanceListBox");
    bareColumn(TabSheet4)->addWidget(InstanceListBox);

    PageControl1 = named(new QTabWidget(Splitter2), "PageControl1");
    TabSheet1 = page(PageControl1, "TabSheet1", QStringLiteral("Properties"));
    TabSheet2 = page(PageControl1, "TabSheet2", QStringLiteral("Methods"));
    PropGrid = named(new StringGrid(2, TabSheet1), "PropGrid");
    // The value column follows the visible width, which also changes when a
    // scroll bar comes or goes as rows are added.
    PropGrid->viewport()->installEventFilter(this);
    bareColumn(TabSheet1)->addWidget(PropGrid);
    TreeView1 = named(new QTreeWidget(TabSheet2), "TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    bareColumn(TabSheet2)->addWidget(TreeView1);

    Splitter2->addWidget(PageControl3);
    Splitter2->addWidget(PageControl1);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({kPageControl3Width, 400});

    Panel4 = queryStrip(Panel2, "Panel4", Label4, QueryCombo, Query1Btn, "Label4", "QueryCombo",
                        "Query1Btn");
    lower->addWidget(Panel4);
    connect(Query1Btn, &QPushButton::clicked, this, [this] { Query1BtnClick(); });
}

void TMainWin::buildQueryPage() {
    auto* layout = bareColumn(TabQuery);
    Panel5 = queryStrip(TabQuery, "Panel5", Label5, Query2Combo, Query2Btn, "Label5", "Query2Combo",
                        "Query2Btn");
    Query2Combo->setEditText(
        QStringLiteral("select Caption, HandleCount, ThreadCount from Win32_Process"));
    Query2Combo->lineEdit()->installEventFilter(this);
    layout->addWidget(Panel5);
    connect(Query2Btn, &QPushButton::clicked, this, [this] { Query2BtnClick(); });

    ListView1Model = new ResultModel(ImageList1, this);
    ListView1 = named(new QTreeView(TabQuery), "ListView1");
    ListView1->setModel(ListView1Model);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);  // the model sorts, by the header's clicks
    ListView1->setIconSize(QSize(ImageList::kSize, ImageList::kSize));
    QHeaderView* header = ListView1->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { ListView1ColumnClick(column); });
    layout->addWidget(ListView1, 1);
}

void TMainWin::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // The last panel holds the longest texts (errors, timings): it takes
        // what room the window has beyond its width.
        const bool last = i + 1 == StatusPanels.size();
        if (last)
            panel->setMinimumWidth(kStatusWidths[i]);
        else
            panel->setFixedWidth(kStatusWidths[i]);
        bar->addWidget(panel, last ? 1 : 0);
        StatusPanels[i] = panel;
    }
}

void TMainWin::buildMainMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, int image,
                       const QKeySequence& shortcut = {}) {
        QAction* action = menu->addAction(ImageList1->icon(image), caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    Action1 = named(bar->addMenu(QStringLiteral("Action")), "Action1");
    Connecttoremotehost1 = item(Action1, "Connecttoremotehost1",
                                QStringLiteral("&Connect to host/namespace..."), kImageComputer);
    Refresh1 = item(Action1, "Refresh1", QStringLiteral("&Refresh"), kImageRefresh,
                    QKeySequence(Qt::Key_F5));
    Savequeryresultas1 =
        item(Action1, "Savequeryresultas1", QStringLiteral("Save query result as..."), kImageNone);
    Savequeryresultas1->setEnabled(false);
    separator(Action1, "N2");
    Exit1 = item(Action1, "Exit1", QStringLiteral("&Exit"), kImageExit,
                 QKeySequence(Qt::ALT | Qt::Key_X));

    Search2 = named(bar->addMenu(QStringLiteral("&Search")), "Search2");
    Search1 = item(Search2, "Search1", QStringLiteral("&Find..."), kImageFind,
                   QKeySequence(Qt::CTRL | Qt::Key_F));
    Findagain1 = item(Search2, "Findagain1", QStringLiteral("Search &again"), kImageFindAgain,
                      QKeySequence(Qt::Key_F3));

    Help1 = named(bar->addMenu(QStringLiteral("Help")), "Help1");
    Help2 = item(Help1, "Help2", QStringLiteral("Help"), kImageHelp, QKeySequence(Qt::Key_F1));
    Homepage1 = item(Help1, "Homepage1", QStringLiteral("Home page"), kImageHomePage);
    Support1 = item(Help1, "Support1", QStringLiteral("Support"), kImageSupport);
    separator(Help1, "N1");
    About1 = item(Help1, "About1", QStringLiteral("About"), kImageNone);

    connect(Refresh1, &QAction::triggered, this, [this] { Refresh1Click(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
    // Find and export.
    connect(Search1, &QAction::triggered, this, [this] { Search1Click(); });
    connect(Findagain1, &QAction::triggered, this, [this] { Findagain1Click(); });
    connect(Savequeryresultas1, &QAction::triggered, this, [this] { Savequeryresultas1Click(); });
    // Connect to host/namespace.
    connect(Connecttoremotehost1, &QAction::triggered, this,
            [this] { Connecttoremotehost1Click(); });
    // Help and information.
    connect(Help2, &QAction::triggered, this, [this] { Help2Click(); });
    connect(Homepage1, &QAction::triggered, this, [this] { Homepage1Click(); });
    connect(Support1, &QAction::triggered, this, [this] { Support1Click(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
}

void TMainWin::buildPopupMenus() {
    auto menu = [this](const char* name) { return named(new QMenu(this), name); };
    auto item = [](QMenu* popup, const char* name, const QString& caption) {
        QAction* action = popup->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(false);  // each menu enables its items as it opens
        return action;
    };

    PopupMenu1 = menu("PopupMenu1");
    Refresh2 = item(PopupMenu1, "Refresh2", QStringLiteral("Refresh..."));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N4"));
    Selectfrom1 = item(PopupMenu1, "Selectfrom1", QStringLiteral("Select * from ..."));
    attachPopup(ClassListBox, PopupMenu1);

    PopupMenu2 = menu("PopupMenu2");
    CopyPropert1 = item(PopupMenu2, "CopyPropert1", QStringLiteral("Copy"));
    attachPopup(PropGrid, PopupMenu2);

    PopupMenu3 = menu("PopupMenu3");
    Copy1item1 = item(PopupMenu3, "Copy1item1", QStringLiteral("Copy item"));
    Copylist1 = item(PopupMenu3, "Copylist1", QStringLiteral("Copy list"));
    attachPopup(InstanceListBox, PopupMenu3);

    PopupMenu4 = menu("PopupMenu4");
    Copymethod1 = item(PopupMenu4, "Copymethod1", QStringLiteral("Copy method"));
    Copyallmethods1 = item(PopupMenu4, "Copyallmethods1", QStringLiteral("Copy all methods"));
    attachPopup(TreeView1, PopupMenu4);

    // The class and instance browsers and their copy commands.
    wireClassBrowser();
    wireInstanceBrowser();
    wireClipboard();
}

}  // namespace ui
