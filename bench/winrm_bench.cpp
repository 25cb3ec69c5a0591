// The WinRM back end's reading and transport costs.
//
// BM_PullReplyVsPlainParse: a ~500 KB Pull reply (the recorded Win32_DiskDrive
// items repeated) read into typed objects, against libxml2 parsing the same
// bytes into a document and nothing more. Counters:
//   ratio           our reading / the plain parse (target: at most 2)
//   objects_per_s   objects read per second
//   MB_per_s        reply megabytes read per second
//
// BM_ReplayVsMemory: 30,001 Win32_Process objects streamed through the
// replay server on 127.0.0.1 (HTTP, keep-alive, Pull batches of 100) against
// the same number of objects read from replies already in memory. Counter:
//   ratio           through the server / from memory (the transport and the
//                   Python server's cost, reported)
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "replay_server.h"
#include "wbem/api.h"
#include "wbem/remote/winrm/soap.h"
#include "wbem/remote/winrm/wsman_objects.h"
#include "wbem/remote/xml/cim_xml.h"
#include "wbem/remote_options.h"

namespace {

using namespace wbem;
using Clock = std::chrono::steady_clock;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string fixture(const std::string& rel) {
    return readFile(std::string(CIMSCOPE_FIXTURES) + "/wsman/" + rel);
}

// The reply `file` with its w:Item elements repeated until the body passes
// `bytes`; `count` receives the number of items.
std::string grownReply(const std::string& file, const std::string& open, const std::string& close,
                       size_t bytes, size_t& count) {
    const std::string reply = fixture(file);
    const size_t first = reply.find(open);
    const size_t last = reply.rfind(close) + close.size();
    if (first == std::string::npos || last < first) return {};
    const std::string items = reply.substr(first, last - first);
    size_t perCopy = 0;
    for (size_t p = items.find(open); p != std::string::npos; p = items.find(open, p + 1))
        ++perCopy;
    std::string body;
    count = 0;
    while (body.size() < bytes) body += items, count += perCopy;
    return reply.substr(0, first) + body + reply.substr(last);
}

size_t readAll(const std::string& bytes, const cimxml::ClassLookup& lookup) {
    winrm::Reply r = winrm::readReply(bytes, {}, "bench");
    winrm::ObjectReader reader(lookup, "BENCH");
    size_t n = 0;
    const xmlNode* items = xml::firstChild(r.payload(), "Items");
    for (const xmlNode* item : xml::children(items)) {
        const winrm::ItemParts parts = winrm::itemParts(item);
        auto o = reader.read(parts.object, parts.epr);
        benchmark::DoNotOptimize(o.instance);
        ++n;
    }
    return n;
}

void BM_PullReplyVsPlainParse(benchmark::State& state) {
    size_t count = 0;
    const std::string reply =
        grownReply("server2016/04_Res_pull.xml", "<w:Item", "</w:Item>", 500000, count);
    if (reply.empty()) {
        state.SkipWithError("shared fixtures not found");
        return;
    }
    winrm::Reply schema = winrm::readReply(fixture("server2016/03_Res_schema.xml"), {}, "bench");
    auto disk = cimxml::readClass(schema.payload());
    auto lookup = [&](std::string_view name) { return name == "Win32_DiskDrive" ? disk : nullptr; };
    double ours = 0, plain = 0;
    size_t objects = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        objects += readAll(reply, lookup);
        auto t1 = Clock::now();
        xmlDoc* doc = xmlReadMemory(reply.data(), int(reply.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOBLANKS);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
        auto t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        plain += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio"] = ours / plain;
    state.counters["objects_per_s"] = double(objects) / ours;
    state.counters["MB_per_s"] = double(reply.size()) * double(state.iterations()) / ours / 1e6;
    state.counters["reply_KB"] = double(reply.size()) / 1000;
    state.counters["objects_per_reply"] = double(count);
}
BENCHMARK(BM_PullReplyVsPlainParse)->Unit(benchmark::kMillisecond);

void BM_ReplayVsMemory(benchmark::State& state) {
    constexpr int kObjects = 30001;
    std::string reason;
    if (!test::ReplayServer::available(&reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    test::ReplayServer server({"--repeat", std::to_string(kObjects)});
    RemoteOptions options;
    options.auth = AuthMethod::Basic;
    options.allowUnencrypted = true;
    auto services = CreateLocator()->ConnectServer(server.url("http"), "root\\cimv2", {}, {}, {},
                                                   {}, 0, &options);
    // The same objects in memory: 100-object replies like the server's.
    size_t perReply = 0;
    const std::string reply = grownReply("server2008r2/enumerate_1.xml", "<p:Win32_Process",
                                         "</p:Win32_Process>", 1, perReply);
    std::string hundred;
    {
        const size_t first = reply.find("<p:Win32_Process");
        const size_t last = reply.rfind("</p:Win32_Process>") + 18;
        std::string items = reply.substr(first, last - first);
        for (size_t n = 0; n < 100; n += perReply) hundred += items;
        hundred = reply.substr(0, first) + hundred + reply.substr(last);
    }
    double remote = 0, memory = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        auto e = services->InstancesOf("Win32_Process", 48)->NewEnum();
        ElementPtr el;
        int n = 0;
        while (e->Next(el) == hr::Ok) ++n;
        auto t1 = Clock::now();
        size_t m = 0;
        while (m < size_t(kObjects)) m += readAll(hundred, {});
        auto t2 = Clock::now();
        if (n != kObjects) state.SkipWithError("the server sent a different number of objects");
        remote += std::chrono::duration<double>(t1 - t0).count();
        memory += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio"] = remote / memory;
    state.counters["remote_objects_per_s"] = kObjects * double(state.iterations()) / remote;
    state.counters["memory_objects_per_s"] = kObjects * double(state.iterations()) / memory;
}
BENCHMARK(BM_ReplayVsMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
