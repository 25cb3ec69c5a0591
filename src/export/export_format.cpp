#include "export/export_format.h"

#include <string>

#include "wmi/bw_variant.h"

namespace exporter {

ExportFormat ExportFormatOf(std::string_view fileName) {
    std::string ext = wmi::ExtensionOf(fileName, '.');
    // Only ASCII letters: the name's other bytes may be in any code page.
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (ext.empty()) return ExportFormat::Html;
    if (ext == "csv") return ExportFormat::Csv;
    if (ext == "tsv") return ExportFormat::Tsv;
    if (ext == "htm" || ext == "html") return ExportFormat::Html;
    return ExportFormat::Unknown;
}

}  // namespace exporter
