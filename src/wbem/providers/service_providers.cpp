// Services from systemd and drivers from the kernel's module list.
#include "service_providers.h"

#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "parse_util.h"
#include "systemd_units.h"

namespace wbem {

namespace {

struct ServiceRecord {
    ServiceUnit unit;
    std::string systemName;

    std::string name() const {
        std::string n = unit.id;
        if (n.ends_with(".service")) n.resize(n.size() - 8);
        return n;
    }
};

using S = ServiceRecord;

std::vector<ServiceRecord> readServices(uint32_t, const QueryHints& hints) {
    std::vector<ServiceRecord> out;
    const std::string* only = keyText(hints, "Name");
    const std::string system = computerName();
    for (ServiceUnit& u : readServiceUnits()) {
        ServiceRecord r{std::move(u), system};
        if (only && !iequals(*only, r.name())) continue;
        out.push_back(std::move(r));
    }
    return out;
}

const Column<S> kServiceColumns[] = {
    {"AcceptPause", 0, [](const S&) { return CimValue::boolean(false); }},
    {"AcceptStop", 0, [](const S& r) { return CimValue::boolean(r.unit.canStop); }},
    {"Caption", 0,
     [](const S& r) {
         return textValue(r.unit.description.empty() ? r.name() : r.unit.description);
     }},
    {"CreationClassName", 0, [](const S&) { return constText("Win32_Service"); }},
    {"Description", 0, [](const S& r) { return textValue(r.unit.description); }},
    {"DesktopInteract", 0, [](const S&) { return CimValue::boolean(false); }},
    {"DisplayName", 0,
     [](const S& r) {
         return textValue(r.unit.description.empty() ? r.name() : r.unit.description);
     }},
    {"ExitCode", 0, [](const S& r) { return uintValue(r.unit.exitStatus); }},
    {"Name", 0, [](const S& r) { return textValue(r.name()); }},
    {"PathName", 0,
     [](const S& r) {
         const std::string& p = r.unit.execArgs.empty() ? r.unit.execPath : r.unit.execArgs;
         return p.empty() ? CimValue() : textValue(p);
     }},
    {"ProcessId", 0, [](const S& r) { return CimValue::uint(r.unit.mainPid.value_or(0)); }},
    {"ServiceType", 0, [](const S&) { return constText("Own Process"); }},
    {"Started", 0, [](const S& r) { return CimValue::boolean(serviceState(r.unit) == "Running"); }},
    {"StartMode", 0, [](const S& r) { return textValue(serviceStartMode(r.unit)); }},
    {"StartName", 0,
     [](const S& r) { return textValue(r.unit.user.empty() ? std::string("root") : r.unit.user); }},
    {"State", 0, [](const S& r) { return textValue(serviceState(r.unit)); }},
    {"Status", 0,
     [](const S& r) { return constText(r.unit.activeState == "failed" ? "Error" : "OK"); }},
    {"SystemCreationClassName", 0, [](const S&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const S& r) { return constText(r.systemName); }},
};

struct DriverRecord {
    KernelModule module;
    std::string systemName;
};

using D = DriverRecord;

std::string driverState(const KernelModule& m) {
    if (m.state == "Live") return "Running";
    if (m.state == "Loading") return "Start Pending";
    if (m.state == "Unloading") return "Stop Pending";
    return "Unknown";
}

const Column<D> kDriverColumns[] = {
    {"AcceptPause", 0, [](const D&) { return CimValue::boolean(false); }},
    {"AcceptStop", 0, [](const D&) { return CimValue::boolean(true); }},
    {"Caption", 0, [](const D& r) { return textValue(r.module.name); }},
    {"CreationClassName", 0, [](const D&) { return constText("Win32_SystemDriver"); }},
    {"DisplayName", 0, [](const D& r) { return textValue(r.module.name); }},
    {"Name", 0, [](const D& r) { return textValue(r.module.name); }},
    {"ServiceType", 0, [](const D&) { return constText("Kernel Driver"); }},
    {"Started", 0, [](const D& r) { return CimValue::boolean(r.module.state == "Live"); }},
    {"StartMode", 0, [](const D&) { return constText("Manual"); }},
    {"State", 0, [](const D& r) { return textValue(driverState(r.module)); }},
    {"Status", 0, [](const D&) { return constText("OK"); }},
    {"SystemCreationClassName", 0, [](const D&) { return constText("Win32_ComputerSystem"); }},
    {"SystemName", 0, [](const D& r) { return constText(r.systemName); }},
};

}  // namespace

std::vector<KernelModule> parseModules(std::string_view text) {
    std::vector<KernelModule> out;
    Splitter lines(text, '\n');
    std::string_view line;
    while (lines.next(line)) {
        Words words(line);
        std::string_view f[5];
        bool ok = true;
        for (auto& x : f) ok = ok && words.next(x);
        if (!ok) continue;
        auto size = parseUInt(f[1]);
        if (!size) continue;
        out.push_back({sanitizeUtf8(f[0]), sanitizeUtf8(f[4]), *size});
    }
    return out;
}

std::shared_ptr<const InstanceProvider> makeServiceProvider(std::string) {
    return makeListProvider<ServiceRecord>(kServiceColumns, readServices);
}

std::shared_ptr<const InstanceProvider> makeSystemDriverProvider(std::string) {
    return makeListProvider<DriverRecord>(kDriverColumns, [](uint32_t, const QueryHints& hints) {
        std::vector<DriverRecord> out;
        auto text = readTextFile("/proc/modules");
        if (!text) return out;
        const std::string* only = keyText(hints, "Name");
        const std::string system = computerName();
        for (KernelModule& m : parseModules(*text))
            if (!only || iequals(*only, m.name)) out.push_back({std::move(m), system});
        return out;
    });
}

}  // namespace wbem
