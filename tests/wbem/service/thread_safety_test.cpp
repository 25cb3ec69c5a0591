// Two threads using the service at once, each with its own objects.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_host.h"
#include "wbem/api.h"
#include "wbem/service/hosts.h"

using namespace wbem;

TEST(ServiceThreads, TwoThreadsQueryAndEnumerateAtOnce) {
    registerTestHost("threads", testhost::kMof);
    std::atomic<int> failures{0};
    auto work = [&](bool query) {
        for (int i = 0; i < 50; ++i) {
            try {
                auto services = CreateLocator()->ConnectServer("threads", "root\\cimv2");
                auto set = query ? services->ExecQuery("select * from Shape where Label like '%i%'",
                                                       "WQL", 0)
                                 : services->InstancesOf("Shape", 48);
                auto e = set->NewEnum();
                int n = 0;
                ElementPtr el;
                while (e->Next(el) == hr::Ok) {
                    auto obj = std::dynamic_pointer_cast<ISWbemObject>(el);
                    obj->Properties_()->Item("Label")->Value();
                    ++n;
                }
                if (n != (query ? 2 : 3)) ++failures;
            } catch (const std::exception&) {
                ++failures;
            }
        }
    };
    std::thread a(work, true), b(work, false);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    unregisterTestHost("threads");
}
