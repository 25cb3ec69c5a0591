// Query execution and value fetching: RunQuery, QueryValues.
#include <exception>

#include "wbem/stop_scope.h"
#include "wbem/text.h"
#include "wbem/wql/query_error.h"
#include "wmi/bw_variant.h"
#include "wmi/bw_wmi.h"

namespace wmi {

namespace {

using ObjectPtr = std::shared_ptr<wbem::ISWbemObject>;
using PropertyPtr = std::shared_ptr<wbem::ISWbemProperty>;

void resetOrFail(wbem::IEnumVariant& e) {
    if (const wbem::HResult status = e.Reset(); status != wbem::hr::Ok)
        throw wbem::WbemError(status);
}

// Column of a property: objects of one class list their properties in the
// columns' order, so the property's own position is tried first.
int columnOf(const TextList& columns, const std::string& name, size_t position) {
    if (position < columns.size() && wbem::iequals(columns[position], name))
        return static_cast<int>(position);
    for (size_t c = 0; c < columns.size(); ++c)
        if (wbem::iequals(columns[c], name)) return static_cast<int>(c);
    return -1;
}

// One step of a walk over the result, unless the run was told to stop.
template <class I>
bool nextUnlessStopped(wbem::IEnumVariant& e, std::shared_ptr<I>& out, std::string& walkError,
                       const wbem::StopCheck& stopped) {
    stopped();
    return NextObject(e, out, walkError);
}

}  // namespace

bool TWMI::RunQuery(std::string_view query, TextList& columns, TextList& cells,
                    int32_t& columnCount, int32_t& rowCount, TextList* paths,
                    const std::atomic<bool>* stop) {
    LastError.clear();
    lastErrorOffset = -1;
    lastErrorDetail.clear();
    columnCount = 0;
    rowCount = 0;
    columns.clear();
    cells.clear();
    if (paths) paths->clear();
    // The service and the remote back ends look at the stop while they work.
    const wbem::StopScope stopScope(stop);
    const wbem::StopCheck stopped;
    try {
        auto set = OpenServices()->ExecQuery(query, "WQL", 0);
        auto rows = set->NewEnum();
        std::string walkError;
        ObjectPtr obj;

        // Shape: the number of rows, and the first object with the most
        // properties, whose properties become the columns.
        int32_t widest = 0;
        while (nextUnlessStopped(*rows, obj, walkError, stopped)) {
            ++rowCount;
            const int32_t n = obj->Properties_()->Count();
            if (n > columnCount) {
                columnCount = n;
                widest = rowCount;
            }
        }
        ThrowIfBroken(walkError);
        if (columnCount < 1 || rowCount < 1) return true;

        resetOrFail(*rows);
        for (int32_t pos = 1; nextUnlessStopped(*rows, obj, walkError, stopped); ++pos) {
            if (pos < widest) continue;
            auto props = obj->Properties_()->NewEnum();
            PropertyPtr prop;
            while (NextObject(*props, prop, walkError)) columns.push_back(prop->Name());
            break;
        }
        ThrowIfBroken(walkError);
        // The walk of one object cannot differ from its count; keep the
        // table rectangular even if a back end disagrees with itself.
        columnCount = static_cast<int32_t>(columns.size());

        cells.assign(static_cast<size_t>(rowCount) * static_cast<size_t>(columnCount),
                     std::string());
        if (paths) paths->assign(static_cast<size_t>(rowCount), std::string());
        resetOrFail(*rows);
        for (int32_t r = 0; r < rowCount && nextUnlessStopped(*rows, obj, walkError, stopped);
             ++r) {
            if (paths) (*paths)[static_cast<size_t>(r)] = obj->Path_()->Path();
            auto props = obj->Properties_()->NewEnum();
            PropertyPtr prop;
            const size_t rowStart = static_cast<size_t>(r) * static_cast<size_t>(columnCount);
            for (int32_t i = 0; i < columnCount && NextObject(*props, prop, walkError); ++i) {
                const int c = columnOf(columns, prop->Name(), static_cast<size_t>(i));
                if (c >= 0)
                    cells[rowStart + static_cast<size_t>(c)] = RenderValue(prop->Value(), CodePage);
            }
            ThrowIfBroken(walkError);
        }
        ThrowIfBroken(walkError);
        return true;
    } catch (const std::exception& e) {
        LastError = std::string("Error: ") + e.what();
        // Where the engine stopped reading a query it could not parse.
        const auto* refused = dynamic_cast<const wbem::wql::QueryError*>(&e);
        if (refused && refused->code() == wbem::hr::InvalidQuery) {
            lastErrorOffset = static_cast<int64_t>(refused->offset());
            lastErrorDetail = refused->detail();
        }
        return false;
    }
}

bool QueryValues(std::string_view host, std::string_view nspace, std::string_view user,
                 std::string& out, int32_t codePage, bool allValues, std::string_view extraClause,
                 std::string_view propertyName, std::string_view className,
                 std::string_view password, const wbem::RemoteOptions* options,
                 wbem::HResult* failure) {
    out.clear();
    if (failure) *failure = 0;
    bool found = false;
    try {
        auto services = OpenServices(host, nspace, user, password, wbem::flags::ConnectUseMaxWait,
                                     nullptr, options);
        std::string query = "SELECT ";
        query.append(propertyName).append(" FROM ").append(className);
        if (!extraClause.empty()) query.append(" ").append(extraClause);
        auto objects = services->ExecQuery(query, "WQL", 0)->NewEnum();
        for (;;) {
            wbem::ElementPtr element;
            const wbem::HResult status = objects->Next(element);
            if (status & 0x80000000u) throw wbem::WbemError(status);
            if (status != wbem::hr::Ok || !element) break;
            found = true;
            auto obj = std::dynamic_pointer_cast<wbem::ISWbemObject>(element);
            if (!obj) continue;
            out += RenderValue(obj->Properties_()->Item(propertyName, 0)->Value(), codePage);
            if (!allValues) break;
            out += "\r\n";
        }
        if (!found) out = "not found";
    } catch (const wbem::WbemError& e) {
        found = false;
        out = std::string("Error: ") + e.what();
        if (failure) *failure = e.code();
    } catch (const std::exception& e) {
        found = false;
        out = std::string("Error: ") + e.what();
        if (failure) *failure = wbem::hr::Failed;
    }
    out = Trimmed(out);
    return found;
}

}  // namespace wmi
