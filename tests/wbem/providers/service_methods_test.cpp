#include "wbem/providers/service_methods.h"

#include <gtest/gtest.h>

#include "wbem/providers/subprocess.h"
#include "wbem/providers/systemd_units.h"
#include "wbem/repository/instance.h"

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

std::shared_ptr<ClassDef> serviceClass() {
    auto cls = std::make_shared<ClassDef>();
    cls->name = "Win32_Service";
    for (const char* name : {"Name", "State"}) {
        PropertyDef p;
        p.name = name;
        cls->properties.push_back(std::move(p));
    }
    cls->finalize();
    return cls;
}

TEST(ServiceMethods, WhatTheServiceStateAnswersRunsNothing) {
    auto cls = serviceClass();
    auto methods = makeServiceMethods();
    ASSERT_TRUE(methods->implements("startservice"));
    EXPECT_FALSE(methods->readsOnly("StopService"));  // never served to other machines
    struct {
        const char* name;
        const char* state;
        const char* method;
        uint64_t returns;
    } cases[] = {
        {"ssh", "Running", "StartService", 10},   // already running
        {"ssh", "Stopped", "StopService", 5},     // cannot accept the control
        {"-ssh", "Stopped", "StartService", 20},  // an option, not a unit
        {"../ssh", "Running", "StopService", 20}, {"", "Stopped", "StartService", 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.name);
        Instance target(cls);
        target.set("Name", CimValue::string(c.name));
        target.set("State", CimValue::string(c.state));
        EXPECT_EQ(methods->invoke(&target, c.method, {}).returnValue, CimValue::uint(c.returns));
    }
}

TEST(ServiceMethods, WithoutSystemdAStartIsNotSupported) {
    if (systemdRunning()) GTEST_SKIP() << "systemd runs on this machine";
    auto cls = serviceClass();
    Instance target(cls);
    target.set("Name", CimValue::string("ssh"));
    target.set("State", CimValue::string("Stopped"));
    EXPECT_EQ(makeServiceMethods()->invoke(&target, "StartService", {}).returnValue,
              CimValue::uint(1));
}
