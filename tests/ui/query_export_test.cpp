// "Save query result as...": the save dialog, the choice of format by the
// file name, and the files written from the result as it is shown.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <string>

#include "ui/main_window/result_model.h"
#include "ui/text_codec.h"
#include "wbem/service/hosts.h"
#include "window_fixture.h"

namespace uitest {
namespace {

const char* const kExportHostMof = R"MOF(
class Item
{
    [key] uint32 Id;
    string Name;
    string Note;
    string Extra;
};
instance of Item { Id = 1; Name = "plain"; Note = "a,b"; Extra = "x"; };
instance of Item { Id = 2; Name = "say \"hi\""; Note = "<b>&amp;</b>"; Extra = "y"; };
instance of Item { Id = 3; Name = "tab\there"; Note = ""; Extra = "z"; };
)MOF";

class ExportTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        wbem::registerTestHost("exporthost", kExportHostMof);
        window = makeWindow({"-host:exporthost", "-query:select Id, Name, Note from Item"});
        window->show();
        window->FormActivate();
        ASSERT_TRUE(waitForQuery(*window));
        ASSERT_EQ(listView1Model(*window).Rows(), 3);
        prompts.shown.clear();
    }
    void TearDown() override {
        window.reset();
        wbem::unregisterTestHost("exporthost");
        WindowTest::TearDown();
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // Saves under the name as the user would choose it, and reads the file back.
    std::string save(const QString& file) {
        prompts.saveFiles.push_back(file);
        menuItem(*window, "Savequeryresultas1").trigger();
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) return "(no file)";
        return in.readAll().toStdString();
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            out.push_back(text.substr(start, end - start));
        if (start < text.size()) out.push_back("(unterminated) " + text.substr(start));
        return out;
    }
    static size_t count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    QTemporaryDir dir;
    std::unique_ptr<ui::TMainWin> window;
};

TEST_F(ExportTest, TheSaveDialogOffersThreeFormatsAndRemembersTheName) {
    prompts.saveFiles.push_back(std::nullopt);
    menuItem(*window, "Savequeryresultas1").trigger();
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    const ui::SaveRequest& request = prompts.saveRequests[0];
    const std::vector<std::pair<QString, QString>> filters{
        {"HTML file", "*.htm"}, {"CSV file", "*.csv"}, {"TSV file", "*.tsv"}};
    EXPECT_EQ(request.filters, filters);
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("htm"));
    EXPECT_EQ(request.fileName, QString());
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "cancel writes nothing";
    EXPECT_TRUE(prompts.errors().empty());

    save(path("first.csv"));
    save(path("second.htm"));
    ASSERT_EQ(prompts.saveRequests.size(), 3u);
    EXPECT_EQ(prompts.saveRequests[1].fileName, QString());
    EXPECT_EQ(prompts.saveRequests[2].fileName, path("first.csv"));
}

TEST_F(ExportTest, TheExtensionOfTheChosenNameDecidesTheFormat) {
    struct Case {
        const char* name;
        const char* starts;  // nullptr = "Unknown file format" and no file
    };
    const Case cases[] = {
        {"report.HTML", "<html>"}, {"report.Htm", "<html>"},     {"report.html", "<html>"},
        {"report.", "<html>"},     {"data.CSV", "Id,Name,Note"}, {"data.tsv", "Id\tName\tNote"},
        {"report.txt", nullptr},   {"csv.d", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        const std::string text = save(path(c.name));
        if (c.starts) {
            EXPECT_EQ(text.rfind(c.starts, 0), 0u) << text;
            EXPECT_TRUE(prompts.errors().empty());
        } else {
            EXPECT_EQ(text, "(no file)");
            EXPECT_EQ(prompts.errors(), std::vector<QString>{"Unknown file format"});
        }
    }
}

TEST_F(ExportTest, TheHtmlReportHoldsTheShownRowsEscaped) {
    window->ListView1ColumnClick(0);  // Id, descending
    const std::string html = save(path("result.htm"));
    const std::vector<std::string> l = lines(html);
    ASSERT_EQ(l.size(), 2u + 5 + 3 * 5 + 1) << html;
    EXPECT_EQ(l[0].rfind("<html><head>", 0), 0u);
    EXPECT_NE(l[1].find("Host: exporthost<br>Name space: root\\cimv2<br>"
                        "Query: <b>select Id, Name, Note from Item</b>"),
              std::string::npos)
        << l[1];
    EXPECT_NE(l[1].find(" at "), std::string::npos);
    EXPECT_TRUE(l[1].ends_with("Query result:<hr><table border=\"0\">")) << "3 columns: no width";
    EXPECT_EQ(l[2], " <tr>");
    EXPECT_EQ(l[3], "  <td nowrap><strong>Id</strong></td>");
    EXPECT_EQ(l[6], " </tr>");
    const std::vector<std::string> firstRow(l.begin() + 7, l.begin() + 12);
    EXPECT_EQ(firstRow, (std::vector<std::string>{
                            " <tr>",
                            "  <td nowrap valign=\"middle\">&nbsp;3 &nbsp; </td>",
                            "  <td nowrap valign=\"middle\">&nbsp;tab\there &nbsp; </td>",
                            "  <td nowrap valign=\"middle\">&nbsp; &nbsp; </td>",
                            " </tr>",
                        }));
    EXPECT_EQ(l[13], "  <td nowrap valign=\"middle\">&nbsp;2 &nbsp; </td>") << "descending";
    EXPECT_EQ(l[14], "  <td nowrap valign=\"middle\">&nbsp;say &quot;hi&quot; &nbsp; </td>");
    EXPECT_EQ(l[15],
              "  <td nowrap valign=\"middle\">&nbsp;&lt;b&gt;&amp;amp;&lt;/b&gt; &nbsp; </td>");
    EXPECT_EQ(l.back().rfind("</table><hr><a href=\"", 0), 0u);
}

TEST_F(ExportTest, FourColumnsMakeTheTableFullWidth) {
    runQuery(*window, QStringLiteral("select Id, Name, Note, Extra from Item"));
    const std::string html = save(path("wide.htm"));
    EXPECT_EQ(count(html, "<table border=\"0\" width=\"100%\">"), 1u) << html;
    EXPECT_EQ(count(html, "<td nowrap><strong>"), 4u);
}

TEST_F(ExportTest, DelimitedFilesFollowTheShownOrderAndQuoteWhatWouldSplitAField) {
    window->ListView1ColumnClick(1);  // Name, ascending: the direction stays
    window->ListView1ColumnClick(1);  // Name, descending
    EXPECT_EQ(lines(save(path("out.csv"))), (std::vector<std::string>{
                                                "Id,Name,Note",
                                                "3,tab\there,",
                                                "2,\"say \"\"hi\"\"\",<b>&amp;</b>",
                                                "1,plain,\"a,b\"",
                                            }));
    EXPECT_EQ(lines(save(path("out.tsv"))), (std::vector<std::string>{
                                                "Id\tName\tNote",
                                                "3\t\"tab\there\"\t",
                                                "2\t\"say \"\"hi\"\"\"\t<b>&amp;</b>",
                                                "1\tplain\ta,b",
                                            }));
}

TEST_F(ExportTest, AResultWithoutColumnsGivesAnEmptyHeader) {
    auto fresh = makeWindow({"-host:exporthost", "-query:select * from Item where Id = 99"});
    fresh->show();
    fresh->FormActivate();
    ASSERT_TRUE(waitForQuery(*fresh));
    ASSERT_EQ(listView1Model(*fresh).Columns(), 0);
    ASSERT_TRUE(menuItem(*fresh, "Savequeryresultas1").isEnabled());
    window = std::move(fresh);

    EXPECT_EQ(save(path("empty.csv")), "\r\n");
    const std::vector<std::string> l = lines(save(path("empty.htm")));
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[2], " <tr>");
    EXPECT_EQ(l[3], " </tr>");
    EXPECT_TRUE(prompts.errors().empty());
}

TEST_F(ExportTest, AFileThatCannotBeWrittenIsReportedAndTheResultStays) {
    const QString file = path("missing-folder/result.csv");
    EXPECT_EQ(save(file), "(no file)");
    const std::vector<QString> errors = prompts.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Error: "))) << errors[0].toStdString();
    EXPECT_GT(errors[0].size(), 7) << "with the file error's text";
    EXPECT_FALSE(prompts.shown.back().waitCursor) << "no hourglass over the box";
    EXPECT_EQ(listView1Model(*window).Rows(), 3);
    EXPECT_TRUE(menuItem(*window, "Savequeryresultas1").isEnabled());
}

}  // namespace
}  // namespace uitest
