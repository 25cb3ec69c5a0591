// TWMI: the program's one object for talking to WMI on behalf of the windows.
// It keeps no connection: every operation connects anew, does its work,
// releases every WMI object and reports failure as false plus LastError.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wbem/api.h"
#include "wbem/remote_options.h"
#include "wmi/bw_variant.h"

namespace wmi {

using TextList = std::vector<std::string>;

// DCOM authentication level of every connection the program makes, 0 to 6
// ("Default" ... "Packet Privacy"); 0 leaves the locator's setting alone.
// Written on the window thread, read by every connection when it is made.
inline std::atomic<int32_t> AuthenticationLevel{0};

// Makes the locator every connection starts from: wbem::CreateLocator unless a
// test installs another back end.
using LocatorFactory = std::function<std::shared_ptr<wbem::ISWbemLocator>()>;
void SetLocatorFactory(LocatorFactory factory);  // an empty factory restores the default
std::shared_ptr<wbem::ISWbemLocator> NewLocator();

// Connects as every WMI operation of the program does: a new locator, its
// authentication level when AuthenticationLevel is not 0, then ConnectServer
// with empty locale and authority and the remote options as its context
// (remote back ends read them, the local service ignores them). Throws
// wbem::WbemError. When keepLocator is given it receives the locator, for
// callers that hold on to the connection.
std::shared_ptr<wbem::ISWbemServices> OpenServices(
    std::string_view host, std::string_view nspace, std::string_view user,
    std::string_view password, int32_t securityFlags = 0,
    std::shared_ptr<wbem::ISWbemLocator>* keepLocator = nullptr,
    const wbem::RemoteOptions* options = nullptr);

// Whether a host, as a user types it, is served by this machine's own
// service: empty, ".", "localhost", this machine's names and addresses,
// 127.x.x.x, ::1. Any other host is reached over a remote protocol.
bool IsLocalHost(std::string_view host);

// Whether two sets of remote options make the same connection.
bool SameRemoteOptions(const wbem::RemoteOptions& a, const wbem::RemoteOptions& b);

// One step of a walk over a WMI collection: true with the next element as I;
// false at the end. A walk that breaks down (a failure code from the
// enumerator, an element that raises or is not an I) also returns false, and
// then, and only then, leaves the failure's message in errorText.
template <class I>
bool NextObject(wbem::IEnumVariant& enumerator, std::shared_ptr<I>& out, std::string& errorText);

// Throws the failure a walk left in errorText, if any: a walk that broke down
// fails the operation, so that a partial list is never reported as complete.
void ThrowIfBroken(const std::string& errorText);

// The columns and cells of one query result; cell (r, c) is
// Cells[r * ColumnCount + c]. Paths, when the run asked for them, holds one
// path per row: Paths[r] is the path of row r's object as the object reports
// it (its __PATH), empty when it has none: a selection that leaves out a key
// gives objects that cannot be found again by path.
struct ResultTable {
    TextList Columns;
    TextList Cells;
    int32_t ColumnCount = 0;
    int32_t RowCount = 0;
    TextList Paths;
};

// What a query run does beyond the cells.
struct QueryOptions {
    // Fill ResultTable::Paths; left empty otherwise, since reading every
    // object's path costs a good part of a large result's time.
    bool paths = false;
    // Raised to give up the run (see TWMI::RunQuery).
    const std::atomic<bool>* stop = nullptr;
};

class TWMI {
  public:
    TWMI() = default;

    // Set Host and Namespace through SetHost and SetNamespace.
    std::string Host = ".";
    std::string Namespace = "root\\cimv2";
    int32_t CodePage = LocalCodePage();  // of the texts RunQuery renders
    std::string User;
    std::string Password;
    std::string LastError;
    // After a query the WQL engine refused: the byte offset in the query where
    // it stopped and why ("expected FROM"); -1 and "" otherwise.
    int64_t lastErrorOffset = -1;
    std::string lastErrorDetail;
    // How a remote host is reached (authentication method, trust); every
    // connection of this object passes them on.
    wbem::RemoteOptions remote;

    void SetHost(std::string_view host);         // "" means "."
    void SetNamespace(std::string_view nspace);  // "" means "root\cimv2"

    // Whether a locator can be made at all; does not connect.
    bool IsAvailable();
    // Appends the names of all classes, in WMI's order; does not clear first.
    // With Host exactly "." it empties User and Password for good.
    bool GetClasses(TextList& list);
    // Clears the list, then adds the class's property names in WMI's order.
    bool ClassPropertyNames(std::string_view className, TextList& list);
    // Clears names only; per method one line in each list given: its name, and
    // its in- and out-parameter names joined by ", ".
    bool ClassMethods(std::string_view className, TextList& names, TextList* inParams,
                      TextList* outParams);
    // Runs a WQL query into a result table, values rendered in CodePage.
    // With `paths`, one path per row as ResultTable::Paths holds them. A run
    // whose `stop` flag is raised (from any thread) gives up where it can
    // (between the objects the service tests or hands out, while a remote
    // call waits for its host; wbem/stop_scope.h) and fails with "Call cancelled".
    bool RunQuery(std::string_view query, TextList& columns, TextList& cells, int32_t& columnCount,
                  int32_t& rowCount, TextList* paths = nullptr,
                  const std::atomic<bool>* stop = nullptr);
    bool RunQuery(std::string_view query, ResultTable& table, const QueryOptions& options = {}) {
        if (!options.paths) table.Paths.clear();
        return RunQuery(query, table.Columns, table.Cells, table.ColumnCount, table.RowCount,
                        options.paths ? &table.Paths : nullptr, options.stop);
    }

    // A connection with this object's parameters. Throws wbem::WbemError.
    std::shared_ptr<wbem::ISWbemServices> OpenServices(int32_t securityFlags = 0) const;
};

// The values of one property of a class's objects, rendered in codePage:
// the first one, or with allValues every one on its own line. Connects with
// security flags 128 (bounded wait). False with "not found" when there are no
// objects, false with "Error: " and the message on failure. The options, when
// given, reach ConnectServer as OpenServices passes them.
// `failure` (when given) receives the WMI code of an error, 0 otherwise.
bool QueryValues(std::string_view host, std::string_view nspace, std::string_view user,
                 std::string& out, int32_t codePage, bool allValues, std::string_view extraClause,
                 std::string_view propertyName, std::string_view className,
                 std::string_view password, const wbem::RemoteOptions* options = nullptr,
                 wbem::HResult* failure = nullptr);

// Leading and trailing blanks and control characters removed.
std::string Trimmed(std::string_view text);

// ---------------------------------------------------------------------------

template <class I>
bool NextObject(wbem::IEnumVariant& enumerator, std::shared_ptr<I>& out, std::string& errorText) {
    out.reset();
    try {
        wbem::ElementPtr element;
        const wbem::HResult status = enumerator.Next(element);
        if (status & 0x80000000u) throw wbem::WbemError(status);
        if (status != wbem::hr::Ok || !element) return false;  // the end
        out = std::dynamic_pointer_cast<I>(element);
        if (!out) throw wbem::WbemError(0x80004002, "No such interface supported");
        return true;
    } catch (const std::exception& e) {
        out.reset();
        errorText = e.what();
        return false;
    }
}

}  // namespace wmi
