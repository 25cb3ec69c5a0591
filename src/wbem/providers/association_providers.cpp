// Each association instance holds two references, written as WMI writes
// them: \\SERVER\root\cimv2:Class.Key="value".
#include "association_providers.h"

#include <fcntl.h>

#include "../repository/object_path.h"
#include "accounts.h"
#include "cpu_info.h"
#include "file_reader.h"
#include "host_info.h"
#include "list_provider.h"
#include "proc_source.h"
#include "systemd_units.h"

namespace wbem {

namespace {

struct Link {
    std::string group, part;  // full paths of the two ends
};

const Column<Link> kComponentColumns[] = {
    {"GroupComponent", 0, [](const Link& l) { return CimValue::string(l.group); }},
    {"PartComponent", 0, [](const Link& l) { return CimValue::string(l.part); }},
};

const Column<Link> kDependencyColumns[] = {
    {"Antecedent", 0, [](const Link& l) { return CimValue::string(l.group); }},
    {"Dependent", 0, [](const Link& l) { return CimValue::string(l.part); }},
};

std::string computerPath(const std::string& server, const std::string& nspace) {
    return fullPath(server, nspace, "Win32_ComputerSystem.Name=" + pathValue(server, true));
}

// Walks /proc (and, for threads, each process's task folder), producing one
// link per entry as the cursor advances.
class ProcLinkCursor : public InstanceCursor {
  public:
    ProcLinkCursor(RecordMapper<Link> mapper, const std::string& root, std::string nspace,
                   bool threads)
        : mapper_(std::move(mapper)),
          root_(DirFd::open(AT_FDCWD, root.c_str())),
          nspace_(std::move(nspace)),
          server_(computerName()),
          threads_(threads) {
        if (root_.valid()) processes_.emplace(root_.get(), ".");
        computer_ = computerPath(server_, nspace_);
    }

    std::shared_ptr<const Instance> next() override {
        if (!processes_) return nullptr;
        if (!threads_) {
            auto pid = processes_->next();
            if (!pid) return nullptr;
            return mapper_.build({computer_, processPath(*pid)});
        }
        for (;;) {
            if (!tasks_) {
                auto pid = processes_->next();
                if (!pid) return nullptr;
                pid_ = *pid;
                tasks_.emplace(root_.get(), (std::to_string(pid_) + "/task").c_str());
            }
            if (auto tid = tasks_->next()) {
                const std::string rel = "Win32_Thread.Handle=\"" + std::to_string(*tid) +
                                        "\",ProcessHandle=\"" + std::to_string(pid_) + "\"";
                return mapper_.build({processPath(pid_), fullPath(server_, nspace_, rel)});
            }
            tasks_.reset();
        }
    }

  private:
    std::string processPath(int64_t pid) const {
        return fullPath(server_, nspace_, "Win32_Process.Handle=\"" + std::to_string(pid) + "\"");
    }

    RecordMapper<Link> mapper_;
    DirFd root_;
    std::string nspace_, server_, computer_;
    bool threads_;
    std::optional<PidWalker> processes_, tasks_;
    int64_t pid_ = 0;
};

class ProcLinkProvider : public InstanceProvider {
  public:
    ProcLinkProvider(std::string nspace, std::string root, bool threads)
        : slots_(kComponentColumns),
          nspace_(std::move(nspace)),
          root_(std::move(root)),
          threads_(threads) {}
    std::unique_ptr<InstanceCursor> open(const std::shared_ptr<const ClassDef>& cls,
                                         const QueryHints& hints) const override {
        return std::make_unique<ProcLinkCursor>(slots_.mapper(cls, hints), root_, nspace_,
                                                threads_);
    }

  private:
    ColumnSlotCache<Link> slots_;
    std::string nspace_, root_;
    bool threads_;
};

}  // namespace

std::shared_ptr<const InstanceProvider> makeSystemProcessesProvider(std::string nspace,
                                                                    std::string procRoot) {
    return std::make_shared<ProcLinkProvider>(std::move(nspace), std::move(procRoot), false);
}

std::shared_ptr<const InstanceProvider> makeProcessThreadProvider(std::string nspace,
                                                                  std::string procRoot) {
    return std::make_shared<ProcLinkProvider>(std::move(nspace), std::move(procRoot), true);
}

std::shared_ptr<const InstanceProvider> makeSystemOperatingSystemProvider(std::string nspace) {
    static const Column<Link> kColumns[] = {
        kComponentColumns[0],
        kComponentColumns[1],
        {"PrimaryOS", 0, [](const Link&) { return CimValue::boolean(true); }},
    };
    return makeListProvider<Link>(kColumns, [nspace](uint32_t, const QueryHints&) {
        const std::string server = computerName();
        return std::vector<Link>{
            {computerPath(server, nspace), fullPath(server, nspace, "Win32_OperatingSystem=@")}};
    });
}

std::shared_ptr<const InstanceProvider> makeComputerSystemProcessorProvider(std::string nspace) {
    return makeListProvider<Link>(kComponentColumns, [nspace](uint32_t, const QueryHints&) {
        std::vector<Link> out;
        const std::string server = computerName();
        auto text = readTextFile("/proc/cpuinfo", 16 << 20);
        if (!text) return out;
        const std::string computer = computerPath(server, nspace);
        const size_t packages = groupPackages(parseCpuInfo(*text)).size();
        for (size_t i = 0; i < packages; ++i)
            out.push_back(
                {computer, fullPath(server, nspace,
                                    "Win32_Processor.DeviceID=\"CPU" + std::to_string(i) + "\"")});
        return out;
    });
}

std::shared_ptr<const InstanceProvider> makeSystemUsersProvider(std::string nspace) {
    return makeListProvider<Link>(kComponentColumns, [nspace](uint32_t, const QueryHints&) {
        std::vector<Link> out;
        const std::string server = computerName();
        const std::string computer = computerPath(server, nspace);
        for (const PasswdEntry& u : readPasswd())
            out.push_back(
                {computer,
                 fullPath(server, nspace, accountRelPath("Win32_UserAccount", server, u.name))});
        return out;
    });
}

std::shared_ptr<const InstanceProvider> makeSystemServicesProvider(std::string nspace) {
    return makeListProvider<Link>(kDependencyColumns, [nspace](uint32_t, const QueryHints&) {
        std::vector<Link> out;
        const std::string server = computerName();
        const std::string computer = computerPath(server, nspace);
        for (const ServiceUnit& u : readServiceUnits()) {
            std::string name = u.id;
            if (name.ends_with(".service")) name.resize(name.size() - 8);
            out.push_back({computer, fullPath(server, nspace,
                                              "Win32_Service.Name=" + pathValue(name, true))});
        }
        return out;
    });
}

}  // namespace wbem
