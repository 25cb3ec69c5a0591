#include "wql_call.h"

#include "wmi/method_call.h"

namespace cli {

int runMethodCall(const MethodCall& call, const wmi::TWMI& conn, std::ostream& out,
                  std::ostream& err) {
    wmi::MethodOutcome outcome;
    try {
        auto services = conn.OpenServices();
        const auto signature =
            wmi::DescribeMethod(*services, wmi::ClassOfPath(call.path), call.method);
        outcome = wmi::RunMethod(*services, call.path, signature, call.arguments, conn.CodePage);
    } catch (const std::exception& e) {
        err << "Error: " << e.what() << '\n';
        return 1;
    }
    out << wmi::OutcomeText(outcome);
    return outcome.succeeded() ? 0 : 3;
}

}  // namespace cli
