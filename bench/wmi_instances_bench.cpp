// The instance thread delivering 30,001 instances into a list on the window
// thread, against the same enumeration and naming without any delivery.
// Counter "ratio" = delivered / baseline, measured side by side in each
// iteration.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "test_hosts.h"
#include "wmi/bw_variant.h"
#include "wmi/bw_wmi.h"
#include "wmi/instances_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kInstances = 30001;
constexpr const char* kHost = "bench-instances";

const char* kMof = R"MOF(
class BenchItem { [key] uint32 Id; string Name; string Caption; uint32 Size; boolean Flag; };
)MOF";

void setUpHost() {
    static bool done = false;
    if (done) return;
    done = true;
    static wmitest::ScopedHost host(kHost, kMof);
    host.generate("BenchItem", kInstances, [](int i, wbem::Instance& inst) {
        char name[32];
        std::snprintf(name, sizeof name, "Instance %05d", i);
        inst.set("Id", wbem::CimValue::uint(uint64_t(i)));
        inst.set("Name", wbem::CimValue::string(name));
        inst.set("Caption", wbem::CimValue::string("caption"));
        inst.set("Size", wbem::CimValue::uint(uint64_t(i * 3)));
        inst.set("Flag", wbem::CimValue::boolean(i % 2));
    });
}

// What the thread does for each instance, minus the list: connect, find the
// naming property, stream the instances and name each one.
size_t enumerateAndName() {
    auto services = wmi::OpenServices(kHost, "root\\cimv2", "", "");
    std::string naming;
    {
        auto props = services->Get("BenchItem")->Properties_()->NewEnum();
        std::shared_ptr<wbem::ISWbemProperty> prop;
        std::string err;
        while (wmi::NextObject(*props, prop, err))
            if (naming.empty() && prop->Name() == "Name") naming = prop->Name();
    }
    auto e = services->InstancesOf("BenchItem", 48)->NewEnum();
    std::shared_ptr<wbem::ISWbemObject> obj;
    std::string err;
    size_t bytes = 0;
    while (wmi::NextObject(*e, obj, err)) {
        std::string text = wmi::RenderValue(obj->Properties_()->Item(naming)->Value(), 1250);
        if (wmi::Trimmed(text).empty()) text = "<<Instance>>";
        bytes += text.size();
        benchmark::DoNotOptimize(text);
    }
    return bytes;
}

void BM_InstanceThreadDeliveryVsEnumeration(benchmark::State& state) {
    setUpHost();
    auto* thread = new wmi::TWMIInstancesThread;
    wmi::PlainTargetList list;
    bool finished = false;
    int32_t fetched = 0;
    thread->OnDone = [&](wmi::TWMIInstancesThread*, int32_t count, const std::string&) {
        fetched = count;
        finished = true;
    };
    double baseline = 0, delivered = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(enumerateAndName());
        auto t1 = Clock::now();
        finished = false;
        thread->SetTarget(kHost, "root\\cimv2", "", "", "BenchItem", &list);
        QTimer tick;
        tick.start(1);
        while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        auto t2 = Clock::now();
        baseline += std::chrono::duration<double, std::milli>(t1 - t0).count();
        delivered += std::chrono::duration<double, std::milli>(t2 - t1).count();
        if (fetched != kInstances || list.count() != kInstances)
            state.SkipWithError("the thread did not deliver every instance");
    }
    thread->Terminate();
    wmi::TWMIInstancesThread::WaitForAllEnded(std::chrono::seconds(10));
    const double n = double(state.iterations());
    state.counters["baseline_ms"] = baseline / n;
    state.counters["delivered_ms"] = delivered / n;
    state.counters["ratio"] = delivered / baseline;
}
BENCHMARK(BM_InstanceThreadDeliveryVsEnumeration)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
