// cimscope-agent and the CIM-XML client's reading.
//
// BM_AgentVsLocal: EnumerateInstances of Win32_Process from an agent serving
// this machine over HTTPS on 127.0.0.1 (in this process, one keep-alive
// connection, the login remembered after the first request), against the same
// enumeration through the local service in-process (the scripting API walking
// every instance and reading each property). Counters:
//   requests_per_s      agent requests answered per second
//   agent_ms            milliseconds per agent request (latency)
//   local_ms            milliseconds per local enumeration
//   ratio               agent / local
//   operation_cpu_us_per_instance  CPU microseconds per instance for the agent's
//                       operation alone (reading the request, the providers
//                       enumerating, writing the XML), without TLS and HTTP
//
// BM_PullSequenceVsPlainParse: a 30,000-instance pull sequence (300 replies of
// 100 VALUE.INSTANCEWITHPATH, OpenPegasus's recorded instances repeated) read
// by the client into typed instances, against libxml2 parsing the same bytes
// into documents and nothing more. Counter:
//   ratio               our reading / the plain parse (target: at most 2)
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <libxml/parser.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "agent/cimxml_endpoint.h"
#include "agent/tls_identity.h"
#include "wbem/api.h"
#include "wbem/remote/cimxml/messages.h"
#include "wbem/remote/cimxml/objects.h"
#include "wbem/service/hosts.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double processCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

class AcceptOne : public agent::PasswordCheck {
  public:
    bool check(const std::string& user, const std::string& password) override {
        return user == "bench" && password == "pw";
    }
};

size_t collect(char* data, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(data, size * n);
    return size * n;
}

void BM_AgentVsLocal(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / "cimscope-agent-bench";
    std::filesystem::remove_all(dir);
    const auto cert = agent::selfSignedCertificate(dir);
    auto tls = agent::makeServerContext(cert.cert, cert.key);
    auto repo = wbem::localRepository();
    agent::EnumerationContexts contexts(16, 16);
    agent::Operations operations(repo, wbem::localServerName(), contexts);
    agent::LoginGuard guard(std::make_unique<AcceptOne>(), {});
    agent::CimxmlEndpoint endpoint(operations, guard);
    agent::HttpServer server("127.0.0.1", 0, tls.get(), {},
                             [&](const agent::HttpRequest& r) { return endpoint.handle(r); });
    server.start();

    const auto request = wbem::cimxml::intrinsicRequest(
        1, "EnumerateInstances", "root/cimv2",
        {{"ClassName", wbem::cimxml::classNameXml("Win32_Process")}});
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    for (const auto& [name, value] : request.headers)
        headers = curl_slist_append(headers, (name + ": " + value).c_str());
    const std::string url = "https://127.0.0.1:" + std::to_string(server.port()) + "/cimom";
    std::string reply;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, cert.cert.c_str());
    curl_easy_setopt(curl, CURLOPT_USERPWD, "bench:pw");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);

    auto locator = wbem::CreateLocator();
    auto services = locator->ConnectServer(".", "root\\cimv2");
    const agent::Call call = agent::readCall(request.body, "EnumerateInstances");

    Clock::duration agentTime{}, localTime{};
    double operationCpu = 0;
    size_t requests = 0, instances = 0;
    for (auto _ : state) {
        reply.clear();
        auto t0 = Clock::now();
        const CURLcode rc = curl_easy_perform(curl);
        agentTime += Clock::now() - t0;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (rc != CURLE_OK || status != 200 ||
            reply.find("VALUE.NAMEDINSTANCE") == std::string::npos) {
            state.SkipWithError("the agent did not answer the enumeration");
            break;
        }
        ++requests;

        t0 = Clock::now();
        auto set = services->InstancesOf("Win32_Process");
        auto e = set->NewEnum();
        wbem::ElementPtr element;
        size_t n = 0;
        while (e->Next(element) == wbem::hr::Ok) {
            auto object = std::dynamic_pointer_cast<wbem::ISWbemObject>(element);
            auto props = object->Properties_()->NewEnum();
            wbem::ElementPtr p;
            while (props->Next(p) == wbem::hr::Ok)
                benchmark::DoNotOptimize(
                    std::dynamic_pointer_cast<wbem::ISWbemProperty>(p)->Value());
            ++n;
        }
        localTime += Clock::now() - t0;

        const double c0 = processCpu();
        const agent::Reply r =
            operations.call(call, "bench", agent::Deadline(std::chrono::seconds(60)));
        benchmark::DoNotOptimize(agent::responseXml(call, r));
        operationCpu += processCpu() - c0;
        instances += n;
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    server.stop();
    std::filesystem::remove_all(dir);
    if (!requests) return;
    state.counters["requests_per_s"] = double(requests) / seconds(agentTime);
    state.counters["agent_ms"] = 1e3 * seconds(agentTime) / double(requests);
    state.counters["local_ms"] = 1e3 * seconds(localTime) / double(requests);
    state.counters["ratio"] = seconds(agentTime) / seconds(localTime);
    state.counters["operation_cpu_us_per_instance"] = 1e6 * operationCpu / double(instances);
}
BENCHMARK(BM_AgentVsLocal)->Unit(benchmark::kMillisecond)->Iterations(30);

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_PullSequenceVsPlainParse(benchmark::State& state) {
    const std::string recorded = readFile(std::string(CIMSCOPE_FIXTURES) +
                                          "/cimxml/openpegasus/static/OpenEnumerateInstances/"
                                          "OpenEnumerateInstances61002rspgood.xml");
    const size_t first = recorded.find("<VALUE.INSTANCEWITHPATH>");
    const size_t end = recorded.find("</VALUE.INSTANCEWITHPATH>") + 25;
    if (first == std::string::npos || end < first) {
        state.SkipWithError("the OpenPegasus recordings are missing");
        return;
    }
    const std::string item = recorded.substr(first, end - first);
    std::string items;
    for (int i = 0; i < 100; ++i) items += item;
    std::vector<std::string> replies;
    for (int r = 0; r < 300; ++r)
        replies.push_back(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
            "<MESSAGE ID=\"" +
            std::to_string(r) +
            "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP>"
            "<IMETHODRESPONSE NAME=\"PullInstancesWithPath\"><IRETURNVALUE>" +
            items +
            "</IRETURNVALUE><PARAMVALUE NAME=\"EndOfSequence\"><VALUE>FALSE</VALUE></PARAMVALUE>"
            "<PARAMVALUE NAME=\"EnumerationContext\"><VALUE>c</VALUE></PARAMVALUE>"
            "</IMETHODRESPONSE></SIMPLERSP></MESSAGE></CIM>");
    Clock::duration ours{}, plain{};
    size_t objects = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (const auto& reply : replies) {
            const auto r = wbem::cimxml::readResponseBody(reply, "PullInstancesWithPath", "bench");
            for (const xmlNode* n : wbem::xml::children(r.returnValue)) {
                auto inst = wbem::cimxml::readObject(n, {});
                benchmark::DoNotOptimize(inst);
                ++objects;
            }
        }
        ours += Clock::now() - t0;
        t0 = Clock::now();
        for (const auto& reply : replies) {
            xmlDocPtr doc =
                xmlReadMemory(reply.data(), int(reply.size()), nullptr, nullptr, XML_PARSE_NONET);
            benchmark::DoNotOptimize(doc);
            xmlFreeDoc(doc);
        }
        plain += Clock::now() - t0;
    }
    state.counters["ratio"] = seconds(ours) / seconds(plain);
    state.counters["objects_per_s"] = double(objects) / seconds(ours);
}
BENCHMARK(BM_PullSequenceVsPlainParse)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
