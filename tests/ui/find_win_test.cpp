// The find dialog itself: its controls, keys and history, and how the history
// goes to and from the settings file.
#include "ui/dialogs/find_win.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "find_fixture.h"
#include "settings/profile_file.h"

namespace uitest {
namespace {

QStringList items(const QComboBox& combo) {
    QStringList out;
    for (int i = 0; i < combo.count(); ++i) out << combo.itemText(i);
    return out;
}

TEST_F(FindTest, TheDialogHasItsControlsInTabOrder) {
    const ui::TFindDialog& d = findDialog(*window);
    QComboBox* findText = &control<QComboBox>(d, "FindText");
    QCheckBox* wholeWord = &control<QCheckBox>(d, "MatchWholeWordChk");
    QCheckBox* matchCase = &control<QCheckBox>(d, "MatchCaseChk");
    QPushButton* ok = &control<QPushButton>(d, "OKBtn");
    QPushButton* cancel = &control<QPushButton>(d, "CancelBtn");
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Find"));
    EXPECT_EQ(control<QLabel>(d, "Label1").text(), QStringLiteral("Find what :"));
    EXPECT_TRUE(findText->isEditable());
    EXPECT_EQ(findText->width(), 204);
    EXPECT_EQ(wholeWord->text(), QStringLiteral("Match whole word only"));
    EXPECT_EQ(matchCase->text(), QStringLiteral("Match case"));
    EXPECT_EQ(ok->text(), QStringLiteral("&Find"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(d.minimumSize(), d.maximumSize()) << "not resizable";
    EXPECT_GE(d.width(), 384);
    EXPECT_GE(d.height(), 105);

    std::vector<QWidget*> order;
    QWidget* w = findText;
    do {
        // The combo box's own edit field is part of the combo box.
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() != findText) order.push_back(w);
        w = w->nextInFocusChain();
    } while (w != findText && order.size() < 20);
    const std::vector<QWidget*> expected{findText, wholeWord, matchCase, ok, cancel};
    EXPECT_EQ(order, expected);
}

TEST_F(FindTest, EnterFindsEscapeCancelsAndOnlyFindGrowsTheHistory) {
    ui::TFindDialog* dialog = &findDialog(*window);
    QComboBox* findText = &control<QComboBox>(*dialog, "FindText");
    struct Step {
        const char* typed;
        Qt::Key key;
        bool ok;
        QStringList history;
    };
    const Step steps[] = {
        {"  Process ", Qt::Key_Return, true, {"Process"}},
        {"Thing", Qt::Key_Escape, false, {"Process"}},
        {"Thing", Qt::Key_Return, true, {"Thing", "Process"}},
        {"Process", Qt::Key_Return, true, {"Process", "Thing"}},
        {"   ", Qt::Key_Return, true, {"Process", "Thing"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.typed);
        QTimer::singleShot(0, dialog, [&] {
            QLineEdit* edit = findText->lineEdit();
            EXPECT_TRUE(edit->hasSelectedText() || edit->text().isEmpty())
                << "what it shows is replaced by typing";
            edit->del();
            QTest::keyClicks(edit, QString::fromUtf8(step.typed));
            QTest::keyClick(edit, step.key);
        });
        EXPECT_EQ(dialog->ShowFind(), step.ok);
        EXPECT_EQ(items(*findText), step.history);
        if (step.ok) {
            EXPECT_EQ(findText->currentText(), QString::fromUtf8(step.typed));
        }
    }
}

TEST_F(FindTest, TheSearchHistoryGoesToTheSettingsFileAndBack) {
    for (const char* text : {"Process", "Thing", " Process"}) find({QString::fromUtf8(text)});
    EXPECT_EQ(items(control<QComboBox>(findDialog(*window), "FindText")),
              (QStringList{"Process", "Thing"}));
    window->FormCloseQuery();
    const settings::ProfileFile file = settings::ProfileFile::load(settingsFile());
    EXPECT_EQ(file.readInteger("SearchHistory", "Count", -1), 2);
    EXPECT_EQ(file.read("SearchHistory", "Text0"), "Process");
    EXPECT_EQ(file.read("SearchHistory", "Text1"), "Thing");

    auto again = makeWindow({"-host:findhost"});
    again->show();
    again->FormActivate();
    EXPECT_EQ(items(control<QComboBox>(findDialog(*again), "FindText")),
              (QStringList{"Process", "Thing"}));
    EXPECT_EQ(control<QComboBox>(findDialog(*again), "FindText").currentText(), QString());
}

}  // namespace
}  // namespace uitest
