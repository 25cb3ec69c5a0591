// wp_receiver: listens as the calling program N ("cimscope -wp:N") and prints
// each query handed back, one per line, until it has COUNT of them.
//   wp_receiver N [-count:COUNT] [-timeout:MS]
// Exit status: 0 after COUNT queries, 1 on a timeout, 2 on bad usage; a bad
// message is dropped with a note on standard error and listening goes on. "listening at PATH" goes
// to standard error once it listens.
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

// One query, one line: a backslash and the control characters are written as
// escapes (\\, \n, \r, \t, \xHH), so that no query can end its line early or
// send a terminal its commands. The C1 controls U+0080 to U+009F (UTF-8 C2 80
// to C2 9F, which some terminals obey as ESC sequences) are written as their
// two bytes' \xHH. Other bytes, UTF-8 among them, stay.
std::string escaped(std::string_view query) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const auto byteEscape = [](std::string& out, unsigned char u) {
        out += "\\x";
        out += hex[u >> 4];
        out += hex[u & 15];
    };
    std::string out;
    for (size_t i = 0; i < query.size(); ++i) {
        const char c = query[i];
        const auto u = static_cast<unsigned char>(c);
        const auto next = i + 1 < query.size() ? static_cast<unsigned char>(query[i + 1]) : 0;
        if (u == 0xC2 && next >= 0x80 && next <= 0x9F) {
            byteEscape(out, u);
            byteEscape(out, next);
            ++i;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            byteEscape(out, u);
        } else {
            out += c;
        }
    }
    return out;
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
    listener->SetNotes([](const std::string& why) {
        std::cerr << "wp_receiver: dropped a connection: " << why << std::endl;
    });
    std::cerr << "listening at " << listener->path() << std::endl;
    const auto timeout = std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 24L * 3600 * 1000);
    for (long taken = 0; taken < count;) {
        auto message = listener->Receive(timeout, error);
        if (!message) {
            std::cerr << "wp_receiver: " << error << "\n";
            return 1;
        }
        const std::string line = escaped(message->query);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        ++taken;
    }
    return 0;
}
