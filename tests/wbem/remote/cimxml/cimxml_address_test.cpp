// Which back end a host text names, and the CIM-XML server it names.
#include <gtest/gtest.h>

#include "wbem/remote/backend_choice.h"
#include "wbem/remote/cimxml/endpoint.h"

using namespace wbem;
using remote::Backend;

TEST(CimxmlAddress, BackendByHostText) {
    const struct {
        const char* host;
        Backend backend;
    } cases[] = {
        {"cimxml://server1", Backend::CimXml},
        {"CIMXMLS://server1:15989", Backend::CimXml},
        {"  cimxml://[fe80::1]  ", Backend::CimXml},
        {"http://server1:5988", Backend::CimXml},
        {"https://server1:5989/cimom", Backend::CimXml},
        {"https://[::1]:5989", Backend::CimXml},
        {"server1", Backend::WinRm},
        {"server1:5988", Backend::WinRm},  // a bare name is WinRM whatever the port
        {"https://server1", Backend::WinRm},
        {"https://server1:5986/wsman", Backend::WinRm},
        {"http://server1:59880", Backend::WinRm},
        {"http://server1/x:5988", Backend::WinRm},  // the port is the authority's only
        {"https://[::1]", Backend::WinRm},
        {"", Backend::WinRm},
    };
    for (const auto& c : cases) EXPECT_EQ(remote::backendFor(c.host), c.backend) << c.host;
}

TEST(CimxmlAddress, EndpointFromHostText) {
    const struct {
        const char* host;
        const char* url;  // nullptr: not a CIM-XML address
    } cases[] = {
        {"cimxml://server1", "http://server1:5988/cimom"},
        {"cimxmls://server1", "https://server1:5989/cimom"},
        {"cimxmls://server1:15989", "https://server1:15989/cimom"},
        {"cimxml://[fe80::1]:7", "http://[fe80::1]:7/cimom"},
        {"https://server1:5989", "https://server1:5989/cimom"},
        {"http://server1:5988/other/path", "http://server1:5988/other/path"},
        {"https://server1:5986", nullptr},
        {"https://server1", nullptr},
        {"cimxml://", nullptr},
        {"cimxml://user@server1", nullptr},
        {"cimxml://server1:0", nullptr},
        {"cimxml://server1:99999", nullptr},
        {"cimxml://[fe80::1", nullptr},
        {"cimxml://[server1]", nullptr},
        {"cimxml://server1/path?q=1", nullptr},
        {"cimxml://ser ver", nullptr},
        {"ftp://server1:5988", nullptr},
        {"server1", nullptr},
    };
    for (const auto& c : cases) {
        auto ep = cimxml::parseEndpoint(c.host);
        if (!c.url) {
            EXPECT_FALSE(ep) << c.host << " -> " << ep->url();
            continue;
        }
        ASSERT_TRUE(ep) << c.host;
        EXPECT_EQ(ep->url(), c.url) << c.host;
    }
    EXPECT_EQ(cimxml::parseEndpoint("cimxml://Server1.corp")->serverName(), "SERVER1.CORP");
}
