#include "find_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>

#include "ui/dialogs/find_win.h"
#include "ui/main_window/class_browser.h"
#include "ui/widgets/column_list_box.h"
#include "wbem/service/hosts.h"

namespace uitest {

namespace {

std::string findHostMof(int rows, int needleRow) {
    std::string mof = R"MOF(
class Win32_ProcessStartup { [key] uint32 Id; };
class Win32_Process { [key] uint32 Id; };
class Other_Thing { [key] uint32 Id; };
class Row
{
    [key] uint32 Id;
    string Name;
    string Note;
};
)MOF";
    for (int i = 1; i <= rows; ++i)
        mof += "instance of Row { Id = " + std::to_string(i) + "; Name = \"row" +
               std::to_string(i) + "\"; Note = \"" + (i == needleRow ? "a needle here" : "plain") +
               "\"; };\n";
    return mof;
}

}  // namespace

void FindTest::SetUp() {
    WindowTest::SetUp();
    wbem::registerTestHost("findhost", findHostMof(kRows, kNeedleRow));
    window = makeWindow({"-host:findhost"});
    window->show();
    window->FormActivate();
    ASSERT_GT(classListBox(*window).count(), 4);
}

void FindTest::TearDown() {
    window.reset();
    wbem::unregisterTestHost("findhost");
    WindowTest::TearDown();
}

void FindTest::answerFind(const Answer& answer) {
    ui::TFindDialog* dialog = &findDialog(*window);
    QLineEdit* edit = control<QComboBox>(*dialog, "FindText").lineEdit();
    QCheckBox* wholeWord = &control<QCheckBox>(*dialog, "MatchWholeWordChk");
    QCheckBox* matchCase = &control<QCheckBox>(*dialog, "MatchCaseChk");
    QPushButton* button = &control<QPushButton>(*dialog, answer.ok ? "OKBtn" : "CancelBtn");
    QTimer::singleShot(0, dialog, [=] {
        ASSERT_TRUE(dialog->isVisible());
        edit->selectAll();
        edit->insert(answer.text);  // typed over what it shows
        wholeWord->setChecked(answer.wholeWord);
        matchCase->setChecked(answer.matchCase);
        QTest::mouseClick(button, Qt::LeftButton);
    });
}

void FindTest::find(const Answer& answer) {
    answerFind(answer);
    window->Search1Click();
}

void FindTest::showClass(const QString& name) {
    ui::ColumnListBox& list = classListBox(*window);
    const auto found = list.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    list.scrollToItem(found.first());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(found.first()).center());
    ASSERT_EQ(classBrowser(*window).currentClass(), name.toStdString());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->StatusText(2).startsWith(QStringLiteral("Instances: ")); }, 30000));
}

QString FindTest::currentClass() const {
    const QListWidgetItem* item = classListBox(*window).currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

std::vector<FakePrompts::Shown> FindTest::takeShown() {
    std::vector<FakePrompts::Shown> out;
    out.swap(prompts.shown);
    return out;
}

}  // namespace uitest
