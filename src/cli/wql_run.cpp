#include "wql_run.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "export/delimited.h"
#include "export/export_format.h"
#include "export/html_report.h"
#include "export/report_time.h"
#include "fd_streambuf.h"
#include "ostream_device.h"
#include "output_file.h"
#include "result_rows.h"
#include "results/code_page.h"
#include "text_table.h"
#include "wbem/errors.h"
#include "wbem/text.h"
#include "wmi/bw_wmi.h"
#include "wmi/mof_compile.h"
#include "wql_call.h"

namespace cli {

namespace {

// Control characters would break the table's rows.
void flattenLines(std::vector<std::string>& cells) {
    for (auto& cell : cells)
        for (char& c : cell)
            if (static_cast<unsigned char>(c) < ' ') c = ' ';
}

// The cells with their control characters (ESC, BEL, ...) shown as '?', for a
// terminal, which would act on them. Tabs and line breaks (LF, CR LF) stay,
// as CSV and TSV need them; a CR of its own would let a value overwrite what
// the line showed before it.
class TerminalSafeView : public exporter::ResultView {
  public:
    explicit TerminalSafeView(const exporter::ResultView& inner) : inner_(inner) {}
    int columnCount() const override { return inner_.columnCount(); }
    std::string columnCaption(int column) const override {
        return safe(inner_.columnCaption(column));
    }
    int rowCount() const override { return inner_.rowCount(); }
    std::string cellText(int row, int column) const override {
        return safe(inner_.cellText(row, column));
    }

  private:
    static std::string safe(std::string text) {
        for (size_t i = 0; i < text.size(); ++i) {
            const auto u = static_cast<unsigned char>(text[i]);
            const bool lineBreak =
                u == '\n' || (u == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
            if ((u < ' ' && u != '\t' && !lineBreak) || u == 0x7F) text[i] = '?';
        }
        return text;
    }
    const exporter::ResultView& inner_;
};

// Why writing to standard output failed: the system's reason when the
// stream kept one, else `otherwise`.
std::string outputFailure(const std::ostream& out, const std::string& otherwise) {
    const int error = StreamErrno(out);
    return error ? std::string("cannot write the output: ") + std::strerror(error) : otherwise;
}

int fail(std::ostream& err, const std::string& text) {
    err << text << '\n';
    return 1;
}

// The result in the chosen format, rows in `order`; for a terminal the CSV,
// TSV or HTML cells with their control characters shown as '?'. False with
// `error` when the output cannot be written.
bool writeResult(const WqlOptions& o, const wmi::TWMI& conn, const wmi::ResultTable& table,
                 std::vector<int32_t> order, std::ostream& out, bool toTerminal,
                 std::string& error) {
    const TableView view(table, std::move(order));
    if (o.format == OutputFormat::Table) {
        std::vector<std::string> cells;
        cells.reserve(table.Cells.size());
        for (int r = 0; r < view.rowCount(); ++r)
            for (int k = 0; k < view.columnCount(); ++k) cells.push_back(view.cellText(r, k));
        flattenLines(cells);
        writeTextTable(out, table.Columns, cells, (conn.CodePage & 0xFFFF) == 65001);
        return true;
    }
    OstreamDevice device(out);
    device.open(QIODevice::WriteOnly);
    const TerminalSafeView safeView(view);
    const exporter::ResultView& shown =
        toTerminal ? static_cast<const exporter::ResultView&>(safeView) : view;
    if (o.format == OutputFormat::Html) {
        exporter::ReportInfo info;
        info.host = conn.Host;
        info.nameSpace = conn.Namespace;
        info.query = wmi::Trimmed(o.query);
        info.generatedAt = exporter::CurrentReportTime();
        return exporter::WriteHtmlReport(shown, info, device, error);
    }
    const char separator =
        o.format == OutputFormat::Csv ? exporter::kCsvSeparator : exporter::kTsvSeparator;
    return exporter::WriteDelimited(shown, separator, device, error);
}

}  // namespace

int runWql(const WqlOptions& o, std::ostream& stdOut, std::ostream& err) {
    for (const auto& mof : o.mofFiles)
        if (!o.outFile.empty() && sameFile(o.outFile, mof)) {
            err << "wql: -out:" << o.outFile << " is also a -mof: input; write elsewhere\n";
            return 2;
        }
    std::unique_ptr<OutputFile> file;
    std::ostream* out = &stdOut;
    if (!o.outFile.empty()) {
        try {
            file = std::make_unique<OutputFile>(o.outFile);
        } catch (const std::exception& e) {
            return fail(err, std::string("Error: ") + e.what());
        }
        out = &file->stream();
    }
    try {
        if (!o.mofFiles.empty()) wmi::CompileMofFiles(o.host, o.mofFiles, o.nspace);
    } catch (const std::exception& e) {
        return fail(err, std::string("Error: ") + e.what());
    }
    wmi::AuthenticationLevel = o.authLevel;
    wmi::TWMI conn;
    int callCode = 0;  // a method that ran and reported a failure
    conn.SetHost(o.host);
    conn.SetNamespace(o.nspace);
    conn.User = o.user;
    conn.Password = o.password;
    conn.remote = o.remote;
    if (o.listClasses) {
        std::vector<std::string> names;
        if (!conn.GetClasses(names)) return fail(err, "Error: " + conn.LastError);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return wbem::icompare(a, b) < 0;
        });
        for (const auto& n : names) *out << n << '\n';
    } else {
        // The target's own code page unless one was given; this machine's when it cannot tell.
        conn.CodePage = o.codePage;
        if (!o.codePage) {
            // An unreachable host or a refused login is said once, not tried again.
            std::string unreachable;
            conn.CodePage = results::targetCodePage(conn, &unreachable).value_or(wmi::LocalCodePage());
            if (!unreachable.empty()) return fail(err, unreachable);
        }
        if (o.call) {
            const int code = runMethodCall(*o.call, conn, *out, err);
            if (code != 0 && code != 3) return code;
            callCode = code;
        } else {
            wmi::ResultTable table;
            if (!conn.RunQuery(o.query, table)) return fail(err, conn.LastError);
            std::vector<int32_t> order = resultOrder(table);
            // A result without rows has no columns either: nothing to sort by.
            if (o.sort && table.ColumnCount > 0) {
                std::string error;
                const std::optional<int> column = sortColumnOf(table.Columns, *o.sort, error);
                if (!column) {
                    err << "wql: " << error << '\n';
                    return 2;
                }
                order = sortedRows(table, *column, o.sort->ascending);
            }
            std::string error;
            const bool toTerminal = file ? file->isTerminal() : o.toTerminal;
            if (!writeResult(o, conn, table, std::move(order), *out, toTerminal, error))
                return fail(err, "Error: " + (file ? file->failure() : outputFailure(*out, error)));
        }
    }
    if (file) {
        try {
            file->commit();
        } catch (const std::exception& e) {
            return fail(err, std::string("Error: ") + e.what());
        }
        return callCode;
    }
    out->flush();
    if (!*out) return fail(err, "Error: " + outputFailure(*out, "cannot write the output"));
    return callCode;
}

}  // namespace cli
