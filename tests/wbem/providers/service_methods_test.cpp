#include "wbem/providers/service_methods.h"

#include <gtest/gtest.h>

#include "wbem/providers/subprocess.h"

using namespace wbem;

TEST(ServiceMethods, HowSystemctlEndedBecomesWin32ServiceReturnValue) {
    struct {
        int exitCode;
        bool timedOut;
        const char* said;
        uint32_t returns;
    } cases[] = {
        {0, false, "", 0},
        {1, false, "Failed to start ssh.service: Access denied\n", 2},
        {1, false, "Failed to stop ssh.service: Interactive authentication required.\n", 2},
        {-1, true, "", 7},
        {1, false, "Failed to start foo.service: Unit foo.service is masked.\n", 14},
        {1, false, "A dependency job for foo.service failed. See 'journalctl -xe'.\n", 13},
        {1, false, "Job for foo.service failed because the control process exited.\n", 8},
        {-1, false, "", 8},  // killed by a signal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        ProgramRun run;
        run.started = true;
        run.exitCode = c.exitCode;
        run.timedOut = c.timedOut;
        run.output = c.said;
        EXPECT_EQ(serviceControlResult(run), c.returns);
    }
}
