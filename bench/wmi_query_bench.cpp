// RunQuery over 100,000 objects of 10 properties, against one pass over the
// same query's result that only renders every value. Counter "ratio" =
// RunQuery / baseline, measured side by side in each iteration. Argument 0:
// the cells alone, as wql runs it; 1: with each row's path, as the window
// runs it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "test_hosts.h"
#include "wmi/bw_variant.h"
#include "wmi/bw_wmi.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kObjects = 100000;
constexpr const char* kHost = "bench-query";
constexpr const char* kQuery = "select * from BenchRow";

const char* kMof = R"MOF(
class BenchRow
{
    [key] uint32 Id;
    string Name;
    string Owner;
    uint32 Size;
    sint32 Delta;
    real64 Load;
    boolean Active;
    datetime Started;
    uint64 Bytes;
    uint16 Flags[];
};
)MOF";

void setUpHost() {
    static bool done = false;
    if (done) return;
    done = true;
    static wmitest::ScopedHost host(kHost, kMof);
    host.generate("BenchRow", kObjects, [](int i, wbem::Instance& inst) {
        char name[32];
        std::snprintf(name, sizeof name, "row %06d", i);
        inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
        inst.set("Name", wbem::CimValue::string(name));
        inst.set("Owner", wbem::CimValue::string(i % 3 ? "Žluťoučký kůň" : "SYSTEM"));
        inst.set("Size", wbem::CimValue::uint(uint64_t(i) * 7));
        inst.set("Delta", wbem::CimValue::sint(-i));
        inst.set("Load", wbem::CimValue::real(i / 7.0));
        inst.set("Active", wbem::CimValue::boolean(i % 2 == 0));
        inst.set("Started", wbem::CimValue::string("20240131123456.000000+060"));
        inst.set("Bytes", wbem::CimValue::uint(uint64_t(i) << 20));
        inst.set("Flags",
                 wbem::CimValue::array({wbem::CimValue::uint(1), wbem::CimValue::uint(2)}));
    });
}

// One pass: run the query and render every value of every object.
size_t renderOnce() {
    auto set = wmi::OpenServices(kHost, "root\\cimv2", "", "")->ExecQuery(kQuery, "WQL", 0);
    auto rows = set->NewEnum();
    std::shared_ptr<wbem::ISWbemObject> obj;
    std::string err;
    size_t cells = 0;
    while (wmi::NextObject(*rows, obj, err)) {
        auto props = obj->Properties_()->NewEnum();
        std::shared_ptr<wbem::ISWbemProperty> prop;
        while (wmi::NextObject(*props, prop, err)) {
            std::string text = wmi::RenderValue(prop->Value(), 1250);
            benchmark::DoNotOptimize(text);
            ++cells;
        }
    }
    return cells;
}

void BM_RunQueryVsRenderOnce(benchmark::State& state) {
    setUpHost();
    wmi::TWMI w;
    w.SetHost(kHost);
    const bool paths = state.range(0) != 0;
    double baseline = 0, query = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        const size_t cells = renderOnce();
        auto t1 = Clock::now();
        wmi::ResultTable table;
        const bool ok = w.RunQuery(kQuery, table, {paths});
        auto t2 = Clock::now();
        baseline += std::chrono::duration<double, std::milli>(t1 - t0).count();
        query += std::chrono::duration<double, std::milli>(t2 - t1).count();
        if (!ok || table.RowCount != kObjects || table.ColumnCount != 10 ||
            table.Cells.size() != cells || table.Paths.size() != (paths ? size_t(kObjects) : 0))
            state.SkipWithError("RunQuery did not produce the whole table");
    }
    const double n = double(state.iterations());
    state.counters["baseline_ms"] = baseline / n;
    state.counters["runquery_ms"] = query / n;
    state.counters["ratio"] = query / baseline;
}
BENCHMARK(BM_RunQueryVsRenderOnce)
    ->ArgName("paths")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
