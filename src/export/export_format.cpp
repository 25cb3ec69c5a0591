#include "export/export_format.h"

#include <string>

#include "wbem/text.h"
#include "wmi/bw_variant.h"

namespace exporter {

ExportFormat ExportFormatOf(std::string_view fileName) {
    // Only ASCII letters: the name's other bytes may be in any code page.
    const std::string ext = wbem::lowered(wmi::ExtensionOf(fileName, '.'));
    if (ext.empty()) return ExportFormat::Html;
    if (ext == "csv") return ExportFormat::Csv;
    if (ext == "tsv") return ExportFormat::Tsv;
    if (ext == "htm" || ext == "html") return ExportFormat::Html;
    return ExportFormat::Unknown;
}

}  // namespace exporter
