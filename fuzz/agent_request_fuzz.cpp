// Feeds arbitrary bytes to what the agent reads from a client before and
// after login: the HTTP request head when the input starts with one, then
// the CIM-XML request and the operation it asks for, run against a small
// repository with a short deadline. Refusals are RequestError and
// CimStatusError answers; a crash, a leak or a hang is a bug.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "agent/cimxml_endpoint.h"
#include "wbem/service/hosts.h"

namespace {

class AcceptAll : public agent::PasswordCheck {
  public:
    bool check(const std::string&, const std::string&) override { return true; }
};

struct Server {
    std::shared_ptr<wbem::Repository> repo = wbem::registerTestHost("fuzzhost", R"MOF(
class Part { [Key] uint32 N; string Label; string Tags[]; };
[Association] class Link { [Key] Part REF A; [Key] Part REF B; };
instance of Part { N = 1; Label = "one"; Tags = {"a", "b"}; };
instance of Part { N = 2; Label = "two"; };
instance of Link { A = "Part.N=1"; B = "Part.N=2"; };
)MOF");
    agent::EnumerationContexts contexts{8, 8};
    agent::Operations operations{repo, "FUZZHOST", contexts};
    agent::LoginGuard guard{std::make_unique<AcceptAll>(), {}};
    agent::CimxmlEndpoint endpoint{operations, guard, std::chrono::milliseconds(500)};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Server server;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    agent::HttpRequest request;
    if (bytes.substr(0, 5) == "POST " || bytes.substr(0, 4) == "GET ") {
        const size_t end = bytes.find("\r\n\r\n");
        auto head = agent::parseRequestHead(bytes.substr(0, end), 1 << 20);
        if (head.refuseStatus || end == std::string_view::npos) return 0;
        request = std::move(head.request);
        request.body = std::string(bytes.substr(end + 4));
    } else {
        // A body alone: the headers a client would send with it.
        request.method = "POST";
        request.target = "/cimom";
        request.body = std::string(bytes);
        const size_t at = bytes.find("METHODCALL NAME=\"");
        const size_t start = at == std::string_view::npos ? 0 : at + 17;
        const std::string method(at == std::string_view::npos
                                     ? std::string_view("GetClass")
                                     : bytes.substr(start, bytes.find('"', start) - start));
        request.headers = {{"CIMOperation", "MethodCall"}, {"CIMMethod", method}};
    }
    request.headers.emplace_back("Authorization", "Basic dTpw");
    request.peer = "127.0.0.1";
    server.endpoint.handle(request);
    return 0;
}
