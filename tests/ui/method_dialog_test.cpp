// The method dialog: its editors from the method's declaration, the check of
// typed values, the confirmation, and a real run on this machine's service.
#include "ui/dialogs/method_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "fake_prompts.h"
#include "idle_child.h"
#include "ui/method_form.h"

namespace {

using uitest::FakePrompts;

wmi::MethodParameter param(const char* name, wbem::CimType type, bool array = false,
                           const char* description = "") {
    wmi::MethodParameter p;
    p.name = name;
    p.type.type = type;
    p.type.isArray = array;
    p.typeText = std::string(wbem::cimTypeName(type)) + (array ? "[]" : "");
    p.description = description;
    return p;
}

// A method of every editor kind.
wmi::MethodSignature sampleMethod() {
    wmi::MethodSignature s;
    s.className = "Sample";
    s.name = "Configure";
    s.in = {param("Name", wbem::CimType::String, false, "What it is called."),
            param("Count", wbem::CimType::UInt8),
            param("Enabled", wbem::CimType::Boolean),
            param("Hosts", wbem::CimType::String, true),
            param("Ratio", wbem::CimType::Real64),
            param("Letter", wbem::CimType::Char16),
            param("Startup", wbem::CimType::Object)};
    return s;
}

template <class W>
W& editor(QWidget& dialog, const char* name) {
    W* w = dialog.findChild<W*>(QString::fromLatin1(name));
    if (!w) throw std::runtime_error(std::string("no control ") + name);
    return *w;
}

void clickExecute(QWidget& dialog) {
    QTest::mouseClick(&editor<QPushButton>(dialog, "ExecuteBtn"), Qt::LeftButton);
}

}  // namespace

TEST(MethodForm, EditorsFollowTheParametersTypes) {
    const auto editors = ui::MethodEditors(sampleMethod());
    struct {
        const char* label;
        ui::EditorKind kind;
        const char* toolTip;
    } want[] = {
        {"Name (string)", ui::EditorKind::Text, "What it is called."},
        {"Count (uint8)", ui::EditorKind::Number, "uint8"},
        {"Enabled (boolean)", ui::EditorKind::CheckBox, "boolean"},
        {"Hosts (string[])", ui::EditorKind::Lines, "string[]\nOne element per line."},
        {"Ratio (real64)", ui::EditorKind::Number, "real64"},
        {"Letter (char16)", ui::EditorKind::Text, "char16"},
        {"Startup (object)", ui::EditorKind::None,
         "object\nAn embedded object cannot be typed in: it is not given."},
    };
    ASSERT_EQ(editors.size(), std::size(want));
    for (size_t i = 0; i < editors.size(); ++i) {
        SCOPED_TRACE(want[i].label);
        EXPECT_EQ(editors[i].label, want[i].label);
        EXPECT_EQ(editors[i].kind, want[i].kind);
        EXPECT_EQ(editors[i].toolTip, want[i].toolTip);
    }
}

TEST(MethodForm, ContentsBecomeArgumentsAndTargets) {
    const auto s = sampleMethod();
    EXPECT_EQ(ui::ArgumentsFrom(s, {"", "7", "false", "a\nb", "", "x", ""}),
              (wmi::MethodArguments{
                  {"Count", "7"}, {"Enabled", "false"}, {"Hosts", "a\nb"}, {"Letter", "x"}}));
    EXPECT_EQ(ui::ValueProblem(s.in[1], "256"),
              "\"256\" is out of the range of a uint8 (0 to 255).");
    EXPECT_EQ(ui::ValueProblem(s.in[1], ""), "");
    EXPECT_EQ(ui::ValueProblem(s.in[3], "a\n\nb"), "");
    EXPECT_EQ(ui::ValueProblem(s.in[5], "xy"), "\"xy\" is not a char16.");

    QString error;
    EXPECT_EQ(ui::CallTarget(s, "Sample.Id=1", error), "Sample.Id=1");
    EXPECT_FALSE(ui::CallTarget(s, "", error));
    EXPECT_EQ(error,
              "Configure runs on an instance of Sample: select one in the instance list first.");
    auto statik = s;
    statik.isStatic = true;
    EXPECT_EQ(ui::CallTarget(statik, "Sample.Id=1", error), "Sample");
    EXPECT_EQ(ui::ConfirmText(s, "Sample.Id=1"), "Run the method Configure on Sample.Id=1?");
}

TEST(MethodDialog, TypedValuesAreCheckedAskedForAndPassedOn) {
    FakePrompts prompts;
    std::vector<wmi::MethodArguments> runs;
    auto* dialog = ui::showMethodDialog(
        sampleMethod(), "Sample.Id=1",
        [&](const wmi::MethodArguments& a) {
            runs.push_back(a);
            wmi::MethodOutcome o;
            o.out = {{"Handle", "9"}};
            o.returnValue = "0";
            o.returnMeaning = "Success";
            return o;
        },
        prompts, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_FALSE(editor<QLineEdit>(*dialog, "ParamStartup").isEnabled());
    auto& count = editor<QLineEdit>(*dialog, "ParamCount");
    EXPECT_EQ(count.toolTip(), "uint8");
    QTest::keyClicks(&count, "300");
    EXPECT_EQ(count.toolTip(), "\"300\" is out of the range of a uint8 (0 to 255).");
    clickExecute(*dialog);
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_EQ(prompts.errors()[0], "Count: \"300\" is out of the range of a uint8 (0 to 255).");
    EXPECT_TRUE(runs.empty());

    count.clear();
    QTest::keyClicks(&count, "30");
    EXPECT_EQ(count.toolTip(), "uint8");
    QTest::mouseClick(&editor<QCheckBox>(*dialog, "ParamEnabled"), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
    auto& hosts = editor<QPlainTextEdit>(*dialog, "ParamHosts");
    QTest::keyClicks(hosts.viewport(), "alpha");
    QTest::keyClick(hosts.viewport(), Qt::Key_Return);
    QTest::keyClicks(hosts.viewport(), "beta");

    prompts.answers = {false, true};
    clickExecute(*dialog);  // refused at the question: nothing runs
    EXPECT_TRUE(runs.empty());
    clickExecute(*dialog);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (wmi::MethodArguments{
                           {"Count", "30"}, {"Enabled", "true"}, {"Hosts", "alpha\nbeta"}}));
    EXPECT_EQ(prompts.shown.back().text, "Run the method Configure on Sample.Id=1?");
    EXPECT_EQ(editor<QPlainTextEdit>(*dialog, "OutParams").toPlainText(),
              "Handle = 9\nReturnValue = 0 (Success)\n");
    dialog->close();
}

TEST(MethodDialog, RunsSetPriorityOnAProcessOfThisMachine) {
    const testsupport::IdleChild child;  // killed with the test, however it ends
    auto niceOf = [&] {
        std::ifstream in("/proc/" + child.pid() + "/stat");
        std::string text((std::istreambuf_iterator<char>(in)), {});
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        std::string field;
        for (int i = 0; i <= 16; ++i) rest >> field;
        return field;
    };
    wmi::TWMI conn;
    auto services = conn.OpenServices();
    auto signature = wmi::DescribeMethod(*services, "Win32_Process", "SetPriority");
    const std::string path = "Win32_Process.Handle=\"" + child.pid() + "\"";
    FakePrompts prompts;
    auto* dialog = ui::showMethodDialog(
        signature, QString::fromStdString(path),
        [&](const wmi::MethodArguments& a) {
            return wmi::RunMethod(*conn.OpenServices(), path, signature, a, 65001);
        },
        prompts, nullptr);
    auto& priority = editor<QLineEdit>(*dialog, "ParamPriority");
    // The parameter's Description is its tooltip.
    EXPECT_TRUE(priority.toolTip().startsWith("The priority class: 64 Idle"))
        << priority.toolTip().toStdString();
    QTest::keyClicks(&priority, "64");
    prompts.answers = {true};
    clickExecute(*dialog);
    EXPECT_TRUE(prompts.errors().empty()) << prompts.errors().front().toStdString();
    EXPECT_EQ(editor<QPlainTextEdit>(*dialog, "OutParams").toPlainText(),
              "ReturnValue = 0 (Successful Completion)\n");
    EXPECT_EQ(niceOf(), "19");

    // A priority class WMI does not have: the method's own answer.
    priority.clear();
    QTest::keyClicks(&priority, "5");
    prompts.answers = {true};
    clickExecute(*dialog);
    EXPECT_EQ(editor<QPlainTextEdit>(*dialog, "OutParams").toPlainText(),
              "ReturnValue = 21 (Invalid Parameter)\n");
    dialog->close();
}
