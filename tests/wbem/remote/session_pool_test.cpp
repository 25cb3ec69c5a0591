// The pool of idle remote sessions: what may be reused, and for how long.
#include "wbem/remote/session_pool.h"

#include <gtest/gtest.h>

namespace {

using wbem::RemoteOptions;
using wbem::remote::sessionKey;
using wbem::remote::SessionPool;

struct FakeSession {
    int id;
};

}  // namespace

TEST(SessionPool, ASessionIsHandedToOneConnectionAtATime) {
    SessionPool<FakeSession> pool;
    const std::string key = sessionKey("h", "root\\cimv2", "u", "p", {});
    pool.give(key, std::make_shared<FakeSession>(FakeSession{1}));
    auto first = pool.take(key);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(pool.take(key), nullptr);  // in use
    EXPECT_EQ(pool.take(sessionKey("h", "root\\cimv2", "u", "other", {})), nullptr);
}

TEST(SessionPool, IdleSessionsExpireAndAreCapped) {
    SessionPool<FakeSession> expiring(std::chrono::seconds(0));
    expiring.give("k", std::make_shared<FakeSession>(FakeSession{1}));
    EXPECT_EQ(expiring.take("k"), nullptr);

    SessionPool<FakeSession> small(std::chrono::seconds(60), 2);
    for (int i = 1; i <= 3; ++i)
        small.give("k" + std::to_string(i), std::make_shared<FakeSession>(FakeSession{i}));
    EXPECT_EQ(small.idleCount(), 2u);
    EXPECT_EQ(small.take("k1"), nullptr);  // the oldest made room
    EXPECT_TRUE(small.take("k3"));
}

TEST(SessionPool, KeysTellEveryConnectionSettingApart) {
    RemoteOptions o;
    const std::string base = sessionKey("srv", "root\\cimv2", "u", "p", o);
    // The same connection, written another way.
    EXPECT_EQ(sessionKey(" srv ", "ROOT/CIMV2", "u", "p", o), base);
    RemoteOptions basic = o, ca = o, clear = o, privacy = o;
    basic.auth = wbem::AuthMethod::Basic;
    ca.caFile = "/tmp/ca.pem";
    clear.allowUnencrypted = true;
    privacy.requirePrivacy = true;
    for (const std::string& other : {sessionKey("srv2", "root\\cimv2", "u", "p", o),
                                     sessionKey("srv", "root\\other", "u", "p", o),
                                     sessionKey("srv", "root\\cimv2", "U", "p", o),
                                     sessionKey("srv", "root\\cimv2", "u", "P", o),
                                     sessionKey("srv", "root\\cimv2", "u:p", "", o),
                                     sessionKey("srv", "root\\cimv2", "u", "p", basic),
                                     sessionKey("srv", "root\\cimv2", "u", "p", ca),
                                     sessionKey("srv", "root\\cimv2", "u", "p", clear),
                                     sessionKey("srv", "root\\cimv2", "u", "p", privacy)})
        EXPECT_NE(other, base);
}
