#include "export/export_format.h"

#include <gtest/gtest.h>

#include <string>

namespace exporter {
namespace {

struct FormatCase {
    std::string fileName;
    ExportFormat expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << testing::PrintToString(c.fileName); }

class ExportFormatOfTest : public testing::TestWithParam<FormatCase> {};

TEST_P(ExportFormatOfTest, JudgesByTheTextAfterTheLastDot) {
    EXPECT_EQ(ExportFormatOf(GetParam().fileName), GetParam().expected) << GetParam().fileName;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExportFormatOfTest,
    testing::Values(FormatCase{"/home/u/report.htm", ExportFormat::Html},
                    FormatCase{"/home/u/report.HTML", ExportFormat::Html},
                    FormatCase{"/home/u/report.Htm", ExportFormat::Html},
                    FormatCase{"/home/u/data.CSV", ExportFormat::Csv},
                    FormatCase{"/home/u/data.tsv", ExportFormat::Tsv},
                    FormatCase{"/home/u/data.TsV", ExportFormat::Tsv},
                    // Ending in "." means the default, HTML.
                    FormatCase{"/home/u/name.", ExportFormat::Html},
                    FormatCase{"/home/u/report.txt", ExportFormat::Unknown},
                    FormatCase{"/home/u/report.csv.txt", ExportFormat::Unknown},
                    FormatCase{"/home/u/report.txt.csv", ExportFormat::Csv},
                    FormatCase{"/home/u/report.htmlx", ExportFormat::Unknown},
                    // Without a dot the whole text is judged.
                    FormatCase{"CSV", ExportFormat::Csv},
                    FormatCase{"/home/u/report", ExportFormat::Unknown},
                    // Dots in folder names: only the last dot of the whole path counts.
                    FormatCase{"/home/u/my.reports/v1.2/data.csv", ExportFormat::Csv},
                    FormatCase{"/home/u/my.reports/data", ExportFormat::Unknown},
                    // Only A-Z are lowered: a byte above 0x7F is never folded into a letter.
                    FormatCase{"/home/u/report.HT\xCDL", ExportFormat::Unknown},
                    // An empty extension of any origin means the default.
                    FormatCase{"", ExportFormat::Html}));

}  // namespace
}  // namespace exporter
