// Win32_Process walks against plain POSIX reads of the same /proc files.
//
// Each benchmark times both sides in the same iteration, alternating, and
// reports their ratio as a counter, so that machine noise hits both alike:
//   QueryWalkVsPosix    SELECT * FROM Win32_Process through the scripting
//                       API, every property's value rendered to text, against
//                       reading stat, status, cmdline, exe, fd, io of every
//                       process with open/read/readlink/fstatat (goal <= 1.5);
//                       cpu_ratio is the same in processor time
//   ProviderWalkVsPosix the same walk straight from the provider's cursor
//   KeyLookupVsWalk     ... WHERE Handle = '1' against the full query (goal <= 0.05)
//   AllClassesSelectStar  SELECT * of every class of root\cimv2 with
//                       instances, each value rendered: total, the slowest
//                       class and its time, against SELECT * FROM Win32_Process
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "thread_cpu_time.h"
#include "wbem/api.h"
#include "wbem/mof/mof_compiler.h"
#include "wbem/providers/process_provider.h"
#include "wbem/repository/repository.h"
#include "wbem/schema/embedded_schema.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Text of a scripting value, as a viewer would show it.
size_t render(const wbem::Variant& v, std::string& out) {
    out.clear();
    if (v.isArray()) {
        for (const wbem::Variant& e : v.asArray().elements) render(e, out);
        return out.size();
    }
    switch (v.type()) {
        case wbem::VarType::String:
            out = v.asString();
            break;
        case wbem::VarType::Int16:
        case wbem::VarType::Int32:
        case wbem::VarType::UInt8:
            out = std::to_string(v.asInt());
            break;
        case wbem::VarType::Real32:
        case wbem::VarType::Real64:
        case wbem::VarType::Date:
            out = std::to_string(v.asReal());
            break;
        case wbem::VarType::Bool:
            out = v.asBool() ? "True" : "False";
            break;
        default:
            break;
    }
    return out.size();
}

size_t renderCim(const wbem::CimValue& v, std::string& out) {
    using K = wbem::CimValue::Kind;
    out.clear();
    switch (v.kind()) {
        case K::String:
            out = v.asString();
            break;
        case K::UInt:
            out = std::to_string(v.asUInt());
            break;
        case K::SInt:
            out = std::to_string(v.asSInt());
            break;
        case K::Bool:
            out = v.asBool() ? "True" : "False";
            break;
        case K::Real:
            out = std::to_string(v.asReal());
            break;
        case K::Array:
            for (const auto& e : v.asArray()) renderCim(e, out);
            break;
        default:
            break;
    }
    return out.size();
}

std::shared_ptr<wbem::ISWbemServices> services() {
    static auto svc = wbem::CreateLocator()->ConnectServer(".", "root\\cimv2");
    return svc;
}

// Runs a query and renders every value of every object; returns the object count.
size_t queryWalk(const char* wql, size_t& bytes) {
    auto set = services()->ExecQuery(wql, "WQL",
                                     wbem::flags::ReturnImmediately | wbem::flags::ForwardOnly);
    auto e = set->NewEnum();
    wbem::ElementPtr el;
    size_t n = 0;
    std::string text;
    while (e->Next(el) == wbem::hr::Ok) {
        auto obj = std::dynamic_pointer_cast<wbem::ISWbemObject>(el);
        auto props = obj->Properties_()->NewEnum();
        wbem::ElementPtr p;
        while (props->Next(p) == wbem::hr::Ok)
            bytes += render(std::dynamic_pointer_cast<wbem::ISWbemProperty>(p)->Value(), text);
        ++n;
    }
    return n;
}

// The flattened Win32_Process class, compiled from the embedded schema.
std::shared_ptr<const wbem::ClassDef> processClass() {
    static std::shared_ptr<const wbem::ClassDef> cls = [] {
        wbem::Repository repo;
        wbem::Repository::Transaction tx(repo);
        wbem::mof::Options options;
        options.loader = [](const std::string& path) -> std::optional<std::string> {
            const std::string name = path.substr(path.rfind('/') + 1);
            for (const wbem::EmbeddedFile& f : wbem::embeddedSchemaFiles())
                if (f.name == name) return std::string(f.text);
            return std::nullopt;
        };
        wbem::mof::compileFile(tx, "cimscope.mof", options);
        tx.commit();
        return repo.snapshot()->find("root\\cimv2")->findClass("Win32_Process");
    }();
    return cls;
}

// The same files the provider reads for SELECT *, with plain POSIX calls.
size_t posixWalk(size_t& bytes) {
    DIR* d = opendir("/proc");
    if (!d) return 0;
    char buf[65536];
    char path[320];
    size_t n = 0;
    while (struct dirent* e = readdir(d)) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        for (const char* f : {"stat", "status", "cmdline", "io"}) {
            std::snprintf(path, sizeof path, "/proc/%s/%s", e->d_name, f);
            int fd = open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            ssize_t got;
            while ((got = read(fd, buf, sizeof buf)) > 0) bytes += static_cast<size_t>(got);
            close(fd);
        }
        std::snprintf(path, sizeof path, "/proc/%s/exe", e->d_name);
        ssize_t len = readlink(path, buf, sizeof buf);
        if (len > 0) bytes += static_cast<size_t>(len);
        std::snprintf(path, sizeof path, "/proc/%s/fd", e->d_name);
        struct stat st {};
        if (stat(path, &st) == 0) bytes += static_cast<size_t>(st.st_size);
        ++n;
    }
    closedir(d);
    return n;
}

void QueryWalkVsPosix(benchmark::State& state) {
    Clock::duration query{}, posix{};
    double queryCpu = 0, posixCpu = 0;
    size_t bytes = 0, objects = 0;
    for (auto _ : state) {
        const double c0 = threadCpuSeconds();
        auto t0 = Clock::now();
        objects = queryWalk("SELECT * FROM Win32_Process", bytes);
        auto t1 = Clock::now();
        const double c1 = threadCpuSeconds();
        posixWalk(bytes);
        auto t2 = Clock::now();
        const double c2 = threadCpuSeconds();
        query += t1 - t0;
        posix += t2 - t1;
        queryCpu += c1 - c0;
        posixCpu += c2 - c1;
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["processes"] = static_cast<double>(objects);
    state.counters["query_ms"] = seconds(query) * 1000 / static_cast<double>(state.iterations());
    state.counters["posix_ms"] = seconds(posix) * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = seconds(query) / seconds(posix);
    state.counters["cpu_ratio"] = queryCpu / posixCpu;
}
BENCHMARK(QueryWalkVsPosix)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void ProviderWalkVsPosix(benchmark::State& state) {
    auto provider = wbem::makeProcessProvider("root\\cimv2");
    auto cls = processClass();
    Clock::duration walk{}, posix{};
    size_t bytes = 0, objects = 0, round = 0;
    std::string text;
    for (auto _ : state) {
        // Alternate which side goes first, so neither gains from the other's
        // warm caches.
        const bool providerFirst = (round++ & 1) == 0;
        Clock::duration p{}, w{};
        if (!providerFirst) {
            auto t = Clock::now();
            posixWalk(bytes);
            p = Clock::now() - t;
        }
        auto t0 = Clock::now();
        auto cursor = provider->open(cls, {});
        objects = 0;
        while (auto inst = cursor->next()) {
            for (const wbem::CimValue& v : inst->values()) bytes += renderCim(v, text);
            ++objects;
        }
        w = Clock::now() - t0;
        if (providerFirst) {
            auto t = Clock::now();
            posixWalk(bytes);
            p = Clock::now() - t;
        }
        walk += w;
        posix += p;
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["processes"] = static_cast<double>(objects);
    state.counters["provider_ms"] = seconds(walk) * 1000 / static_cast<double>(state.iterations());
    state.counters["posix_ms"] = seconds(posix) * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = seconds(walk) / seconds(posix);
}
BENCHMARK(ProviderWalkVsPosix)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void KeyLookupVsWalk(benchmark::State& state) {
    Clock::duration lookup{}, walk{};
    size_t bytes = 0, found = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        found = queryWalk("SELECT * FROM Win32_Process WHERE Handle = '1'", bytes);
        auto t1 = Clock::now();
        queryWalk("SELECT * FROM Win32_Process", bytes);
        auto t2 = Clock::now();
        lookup += t1 - t0;
        walk += t2 - t1;
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["found"] = static_cast<double>(found);
    state.counters["lookup_ms"] = seconds(lookup) * 1000 / static_cast<double>(state.iterations());
    state.counters["walk_ms"] = seconds(walk) * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio"] = seconds(lookup) / seconds(walk);
}
BENCHMARK(KeyLookupVsWalk)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void AllClassesSelectStar(benchmark::State& state) {
    std::vector<std::string> classes;
    {
        auto set = services()->SubclassesOf("", 0);
        auto e = set->NewEnum();
        wbem::ElementPtr el;
        while (e->Next(el) == wbem::hr::Ok) {
            auto cls = std::dynamic_pointer_cast<wbem::ISWbemObject>(el);
            const std::string name = cls->Path_()->Class();
            if (name.rfind("__", 0) != 0) classes.push_back(name);
        }
    }
    Clock::duration all{}, processes{}, slowest{};
    std::string slowestClass;
    size_t bytes = 0, objects = 0;
    for (auto _ : state) {
        objects = 0;
        for (const std::string& c : classes) {
            const std::string query = "SELECT * FROM " + c;
            const auto t0 = Clock::now();
            objects += queryWalk(query.c_str(), bytes);
            const auto took = Clock::now() - t0;
            all += took;
            if (took > slowest) slowest = took, slowestClass = c;
        }
        const auto t0 = Clock::now();
        queryWalk("SELECT * FROM Win32_Process", bytes);
        processes += Clock::now() - t0;
    }
    benchmark::DoNotOptimize(bytes);
    const double n = static_cast<double>(state.iterations());
    state.counters["classes"] = static_cast<double>(classes.size());
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["all_ms"] = seconds(all) * 1000 / n;
    state.counters["process_ms"] = seconds(processes) * 1000 / n;
    state.counters["ratio"] = seconds(all) / seconds(processes);
    state.counters["slowest_ms"] = seconds(slowest) * 1000;
    state.SetLabel("slowest: " + slowestClass);
}
BENCHMARK(AllClassesSelectStar)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
