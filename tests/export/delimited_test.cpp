#include "export/delimited.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <string>
#include <vector>

#include "export/export_format.h"

namespace exporter {
namespace {

std::string delimited(const ResultView& view, char separator) {
    QBuffer buffer;
    std::string error;
    EXPECT_TRUE(WriteDelimited(view, separator, buffer, error)) << error;
    EXPECT_EQ(error, "");
    return buffer.data().toStdString();
}

TEST(WriteDelimited, WritesCsvAndTsvByteForByte) {
    // Blanks in captions stay; a missing sub-item is an empty field; markup
    // characters mean nothing here.
    PlainResultView view({"Name", "Free Space", "Description"},
                         {{"C:", "1024", "<local> & fixed"}, {"D:", ""}, {"E:"}});
    EXPECT_EQ(delimited(view, kCsvSeparator),
              "Name,Free Space,Description\r\n"
              "C:,1024,<local> & fixed\r\n"
              "D:,,\r\n"
              "E:,,\r\n");
    EXPECT_EQ(delimited(view, kTsvSeparator),
              "Name\tFree Space\tDescription\r\n"
              "C:\t1024\t<local> & fixed\r\n"
              "D:\t\t\r\n"
              "E:\t\t\r\n");
}

TEST(WriteDelimited, ViewWithoutRowsHasOnlyTheHeaderLine) {
    PlainResultView view({"Name", "Size"}, {});
    EXPECT_EQ(delimited(view, kCsvSeparator), "Name,Size\r\n");
}

TEST(WriteDelimited, ViewWithoutColumnsIsOneEmptyLine) {
    PlainResultView view({}, {});
    EXPECT_EQ(delimited(view, kCsvSeparator), "\r\n");
    EXPECT_EQ(delimited(view, kTsvSeparator), "\r\n");
}

// A field that would split the line or the field is quoted so that a reader
// gets it back whole; every other field goes out as held.
struct QuoteCase {
    std::string text;
    std::string csv;
    std::string tsv;
};

void PrintTo(const QuoteCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class DelimitedQuoteTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(DelimitedQuoteTest, QuotesCaptionsAndCellsThatNeedIt) {
    const QuoteCase& c = GetParam();
    PlainResultView view({c.text, "Next"}, {{c.text, "x"}, {"y", c.text}});
    EXPECT_EQ(delimited(view, kCsvSeparator),
              c.csv + ",Next\r\n" + c.csv + ",x\r\ny," + c.csv + "\r\n");
    EXPECT_EQ(delimited(view, kTsvSeparator),
              c.tsv + "\tNext\r\n" + c.tsv + "\tx\r\ny\t" + c.tsv + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DelimitedQuoteTest,
    testing::Values(QuoteCase{"a,b", "\"a,b\"", "a,b"}, QuoteCase{"a\tb", "a\tb", "\"a\tb\""},
                    QuoteCase{"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
                    QuoteCase{"\"", "\"\"\"\"", "\"\"\"\""},
                    QuoteCase{"one\r\ntwo", "\"one\r\ntwo\"", "\"one\r\ntwo\""},
                    QuoteCase{"one\ntwo", "\"one\ntwo\"", "\"one\ntwo\""},
                    QuoteCase{"cr\r", "\"cr\r\"", "\"cr\r\""},
                    QuoteCase{"\"a\",\tb", "\"\"\"a\"\",\tb\"", "\"\"\"a\"\",\tb\""},
                    // Nothing else is touched: blanks, quotes of other kinds,
                    // formula-like text, high bytes, empty fields.
                    QuoteCase{" padded ", " padded ", " padded "},
                    QuoteCase{"it's =1+2 caf\xE9", "it's =1+2 caf\xE9", "it's =1+2 caf\xE9"},
                    QuoteCase{"", "", ""}));

// Reads RFC 4180 lines back, as a spreadsheet would.
std::vector<std::vector<std::string>> readBack(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = rows.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            rows.emplace_back(1);
        } else {
            field += c;
        }
    }
    rows.pop_back();  // after the last line end
    return rows;
}

TEST(WriteDelimited, EveryFieldReadsBackWhole) {
    const std::vector<std::string> columns{"Name", "Command, line", "Note"};
    const std::vector<std::vector<std::string>> rows{
        {"a.exe", "a.exe -x \"C:\\Program Files\\a\"", "two\r\nlines"},
        {"b\tc", "", "\"quoted\""},
    };
    PlainResultView view(columns, rows);
    for (char separator : {kCsvSeparator, kTsvSeparator}) {
        std::vector<std::vector<std::string>> expected{columns};
        expected.insert(expected.end(), rows.begin(), rows.end());
        EXPECT_EQ(readBack(delimited(view, separator), separator), expected)
            << "separator " << int(separator);
    }
}

TEST(WriteDelimited, FormulaCellsAreNeutralisedNumbersAreNot) {
    const struct {
        const char* cell;
        const char* written;  // in the CSV line
    } cases[] = {
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+SUM(A1:A2)", "'+SUM(A1:A2)"},
        {"-2+3", "'-2+3"},
        {"@SUM(1)", "'@SUM(1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"-5", "-5"},
        {"+3.25", "+3.25"},
        {"-1e-9", "-1e-9"},
        {"-", "'-"},
        {"a=b", "a=b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        PlainResultView view({"Value"}, {{c.cell}});
        EXPECT_EQ(delimited(view, kCsvSeparator), std::string("Value\r\n") + c.written + "\r\n")
            << c.cell;
    }
    // In TSV the same rule; a leading TAB is quoted as the separator it is.
    PlainResultView tab({"Value"}, {{"\t=1"}});
    EXPECT_EQ(delimited(tab, kTsvSeparator), "Value\r\n\"'\t=1\"\r\n");
}

}  // namespace
}  // namespace exporter
