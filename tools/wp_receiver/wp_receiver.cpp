// wp_receiver: listens as the calling program N ("cimscope -wp:N") and prints
// each query handed back, one per line, until it has COUNT of them.
//   wp_receiver N [-count:COUNT] [-timeout:MS]
// Exit status: 0 after COUNT queries, 1 on a timeout or a bad message, 2 on
// bad usage. "listening at PATH" goes to standard error once it listens.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "handback/listener.h"

namespace {

template <typename T>
bool number(std::string_view text, T& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

int usage(const std::string& error) {
    std::cerr << "wp_receiver: " << error << "\n"
              << "Usage: wp_receiver N [-count:COUNT] [-timeout:MS]\n"
                 "  N              the caller's number, as given to cimscope -wp:N (not 0)\n"
                 "  -count:COUNT   queries to take before ending (default 1)\n"
                 "  -timeout:MS    give up after MS milliseconds without a query (default: "
                 "wait for ever)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int32_t caller = 0;
    long count = 1;
    long timeoutMs = 0;
    bool haveCaller = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("-count:")) {
            if (!number(arg.substr(7), count) || count < 1) return usage("bad count");
        } else if (arg.starts_with("-timeout:")) {
            if (!number(arg.substr(9), timeoutMs) || timeoutMs < 1) return usage("bad timeout");
        } else if (!haveCaller && number(arg, caller) && caller != 0) {
            haveCaller = true;
        } else {
            return usage("unexpected argument " + std::string(arg));
        }
    }
    if (!haveCaller) return usage("the caller's number is missing");

    std::string error;
    auto listener = handback::HandBackListener::Listen(caller, error);
    if (!listener) {
        std::cerr << "wp_receiver: " << error << "\n";
        return 1;
    }
    std::cerr << "listening at " << listener->path() << std::endl;
    const auto timeout = std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 24L * 3600 * 1000);
    for (long taken = 0; taken < count;) {
        auto message = listener->Receive(timeout, error);
        if (!message) {
            std::cerr << "wp_receiver: " << error << "\n";
            return 1;
        }
        std::fwrite(message->query.data(), 1, message->query.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        ++taken;
    }
    return 0;
}
