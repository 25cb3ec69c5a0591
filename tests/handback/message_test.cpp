// The message's bytes, the socket's name, and when the window offers a query.
#include "handback/message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "handback/offer_rules.h"
#include "handback/socket_name.h"

namespace {

TEST(HandBackMessage, IsTheDataItemTheCountAndTheZeroTerminatedQuery) {
    const std::string query = "select Name from Foo";  // 20 characters
    ASSERT_EQ(query.size(), 20u);
    const auto message = handback::EncodeHandBack(query);
    ASSERT_TRUE(message);
    const std::string header("\x5B\xA3\x01\x00\x00\x00\x00\x00\x15\x00\x00\x00", 12);
    EXPECT_EQ(*message, header + query + std::string(1, '\0'));

    unsigned char bytes[handback::kHeaderSize];
    std::copy(message->begin(), message->begin() + 12, bytes);
    const handback::Header decoded = handback::DecodeHeader(bytes);
    EXPECT_EQ(decoded.dataItem, 107355u);
    EXPECT_EQ(decoded.byteCount, 21u);

    // The count is of bytes, not characters: "Ž" is two bytes in UTF-8.
    const auto multibyte = handback::EncodeHandBack("\xC5\xBD");
    ASSERT_TRUE(multibyte);
    EXPECT_EQ(multibyte->substr(8), std::string("\x03\x00\x00\x00\xC5\xBD\x00", 7));
}

TEST(HandBackSocketName, FollowsTheRuntimeFolderElseThePrivateFallback) {
    struct Case {
        const char* runtimeDir;
        int32_t caller;
        std::string path;
    } cases[] = {
        {"/run/user/1000", 26, "/run/user/1000/cimscope-wp-26.sock"},
        {"/run/user/1000/", 26, "/run/user/1000/cimscope-wp-26.sock"},
        {nullptr, 7, "/tmp/cimscope-1000/cimscope-wp-7.sock"},
        {"", 7, "/tmp/cimscope-1000/cimscope-wp-7.sock"},
        {"relative/dir", 7, "/tmp/cimscope-1000/cimscope-wp-7.sock"},  // not trusted
        {"/run/user/1000", -3, "/run/user/1000/cimscope-wp--3.sock"},
        {"/run/user/1000", 2147483647, "/run/user/1000/cimscope-wp-2147483647.sock"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(handback::SocketPathIn(handback::SocketFolder(c.runtimeDir, 1000), c.caller),
                  c.path)
            << (c.runtimeDir ? c.runtimeDir : "(unset)");
}

TEST(HandBackOffer, NeedsACallerAndAQueryUnlikeTheCommandLines) {
    struct Case {
        int32_t caller;
        const char* query;
        const char* commandLineQuery;
        bool offered;
    } cases[] = {
        {0, "select Name from A", "", false},                    // started without -wp:
        {5, "", "select Name from A", false},                    // nothing to offer
        {5, "select Name from A", "select Name from A", false},  // unchanged
        {5, "SELECT Name from A", "select Name from A", true},   // letter case counts
        {5, "select Name from A", "", true},                     // no -query: given
        {-5, "select Name from A", "", true},                    // any number but 0 names a caller
    };
    for (const Case& c : cases)
        EXPECT_EQ(handback::ShouldOfferQuery(c.caller, c.query, c.commandLineQuery), c.offered)
            << c.caller << " " << c.query << " / " << c.commandLineQuery;
}

TEST(HandBackOffer, WarnsAboutSelectStarOnlyWithResultColumns) {
    struct Case {
        const char* query;
        bool columns;
        bool warned;
    } cases[] = {
        {"select * from A", true, true},
        {"select * from A", false, false},  // no query has run: sent without a warning
        {"  SELECT  * from A", true, true},
        {"\tSeLeCt\t*", true, true},
        {"select Name, * from A", true, false},
        {"select Name from A where Caption = '*'", true, false},
        {"select Name from A", true, false},
        {"* from A", true, false},
        {"selected * from A", true, false},
        {"select count(*) from A", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(handback::ShouldWarnAboutStar(c.query, c.columns), c.warned)
            << c.query << " columns=" << c.columns;
}

}  // namespace
