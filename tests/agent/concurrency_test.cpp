// The agent's operations from several workers at once over this machine's
// live providers and shared enumeration contexts (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "agent/cim_status_error.h"
#include "agent/operations.h"
#include "wbem/remote/cimxml/messages.h"
#include "wbem/service/hosts.h"

namespace cx = wbem::cimxml;

TEST(AgentConcurrency, WorkersShareProvidersAndContexts) {
    auto repo = wbem::localRepository();
    agent::addInteropNamespace(repo);
    agent::EnumerationContexts contexts(64, 64);
    agent::Operations operations(repo, wbem::localServerName(), contexts);
    auto callOf = [](const std::string& method, const std::vector<cx::Param>& params,
                     const std::string& ns = "root/cimv2") {
        return agent::readCall(cx::intrinsicRequest(1, method, ns, params).body, method);
    };
    const agent::Call enumerate =
        callOf("EnumerateInstances", {{"ClassName", cx::classNameXml("Win32_Process")}});
    const agent::Call open = callOf(
        "OpenEnumerateInstances",
        {{"ClassName", cx::classNameXml("Win32_Thread")}, {"MaxObjectCount", cx::valueXml("5")}});
    const agent::Call namespaces =
        callOf("EnumerateInstances", {{"ClassName", cx::classNameXml("CIM_Namespace")}}, "interop");
    std::atomic<int> failures{0}, pulls{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 3; ++i) {
                try {
                    const agent::Deadline deadline(std::chrono::seconds(60));
                    if (w % 2 == 0) {
                        const auto r =
                            operations.call(w == 0 ? enumerate : namespaces, "u", deadline);
                        if (r.returnValue.find("VALUE.NAMEDINSTANCE") == std::string::npos)
                            ++failures;
                        continue;
                    }
                    auto r = operations.call(open, "u" + std::to_string(w), deadline);
                    // Pull the rest in small batches.
                    for (int guard = 0; guard < 100000; ++guard) {
                        if (r.outParams.at(0).second.find("TRUE") != std::string::npos) break;
                        std::string context = r.outParams.at(1).second;
                        context = context.substr(7, context.size() - 15);  // <VALUE>...</VALUE>
                        const agent::Call pull = callOf(
                            "PullInstancesWithPath", {{"EnumerationContext", cx::valueXml(context)},
                                                      {"MaxObjectCount", cx::valueXml("50")}});
                        r = operations.call(pull, "u" + std::to_string(w), deadline);
                        ++pulls;
                    }
                } catch (const agent::CimStatusError& e) {
                    ADD_FAILURE() << e.what();
                    ++failures;
                }
            }
        });
    }
    for (auto& t : workers) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(pulls, 0);
    EXPECT_EQ(contexts.size(), 0u);
}
