// The query result as an HTML report: a head naming the host, namespace and
// query, a table of the result, and a foot linking to the maker.
#pragma once

#include <string>

#include "app/product.h"
#include "export/result_view.h"

class QIODevice;

namespace exporter {

struct ReportInfo {
    std::string host;
    std::string nameSpace;
    std::string query;
    std::string generatedAt;  // as FormatReportTime gives it
    std::string productPageUrl{product::kProductPageUrl};
    std::string homePageUrl{product::kHomePageUrl};
    std::string webAddress{product::kWebAddress};
};

// Writes the report; lines end in CR LF, texts go out as the view holds them
// except that &, <, > and " become entities, and blanks in column captions
// become &nbsp;. The URLs, web address and time are written as given. False
// with the device's error text when writing fails; what was written stays.
bool WriteHtmlReport(const ResultView& view, const ReportInfo& info, QIODevice& device,
                     std::string& error);

}  // namespace exporter
