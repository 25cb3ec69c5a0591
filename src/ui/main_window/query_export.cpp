// "Save query result as...": the shown result as an HTML report, CSV or TSV,
// the format chosen by the file name's extension.
#include <QFile>
#include <QHeaderView>
#include <QTreeView>
#include <exception>
#include <string>

#include "export/delimited.h"
#include "export/export_format.h"
#include "export/html_report.h"
#include "export/report_time.h"
#include "ui/dialogs/prompts.h"
#include "ui/main_window/query_pane.h"
#include "ui/main_window/result_export_view.h"
#include "ui/main_window/result_model.h"
#include "ui/text_codec.h"
#include "ui/widgets/wait_cursor.h"

namespace ui {

namespace {

bool writeExport(exporter::ExportFormat format, const exporter::ResultView& view,
                 const exporter::ReportInfo& info, QIODevice& file, std::string& error) {
    switch (format) {
        case exporter::ExportFormat::Csv:
            return exporter::WriteDelimited(view, exporter::kCsvSeparator, file, error);
        case exporter::ExportFormat::Tsv:
            return exporter::WriteDelimited(view, exporter::kTsvSeparator, file, error);
        default:
            return exporter::WriteHtmlReport(view, info, file, error);
    }
}

// The save dialog proposes the file chosen the time before.
SaveRequest saveRequest(const QString& lastFile) {
    SaveRequest request;
    request.title = QStringLiteral("Save query result as");
    request.filters = {{QStringLiteral("HTML file"), QStringLiteral("*.htm")},
                       {QStringLiteral("CSV file"), QStringLiteral("*.csv")},
                       {QStringLiteral("TSV file"), QStringLiteral("*.tsv")}};
    request.defaultSuffix = QStringLiteral("htm");
    request.fileName = lastFile;
    return request;
}

}  // namespace

void QueryPane::Savequeryresultas1Click() {
    const std::optional<QString> chosen = prompts_.saveFile(saveRequest(lastExportFile_));
    if (!chosen) return;
    lastExportFile_ = *chosen;

    const exporter::ExportFormat format = exporter::ExportFormatOf(toSystem(*chosen));
    if (format == exporter::ExportFormat::Unknown) {
        prompts_.error(fromSystem(exporter::kUnknownFileFormat));
        return;
    }

    WaitCursor wait;
    std::string error;
    bool ok = false;
    try {
        exporter::ReportInfo info;
        if (format == exporter::ExportFormat::Html) {
            info.host = wmi_.Host;
            info.nameSpace = wmi_.Namespace;
            info.query = lastQuery_;
            info.generatedAt = exporter::CurrentReportTime();
        }
        const ResultModelView view(*ListView1Model, ListView1->header());
        QFile file(*chosen);
        ok = writeExport(format, view, info, file, error);
    } catch (const std::exception& e) {
        error = e.what();
    }
    wait.restore();
    if (!ok) prompts_.error(QStringLiteral("Error: ") + fromSystem(error));
}

}  // namespace ui
