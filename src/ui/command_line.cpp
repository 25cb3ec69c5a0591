#include "ui/command_line.h"

#include "results/cell_order.h"

namespace ui {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void ParseParam(std::string_view argument, wmi::TWMI& wmi, CommandLineParams& params) {
    struct Option {
        std::string_view name;
        void (*apply)(const std::string& value, wmi::TWMI& wmi, CommandLineParams& params);
    };
    static constexpr Option kOptions[] = {
        {"-wp:",
         [](const std::string& v, wmi::TWMI&, CommandLineParams& p) {
             p.CallerWindow = results::textAsInteger(v).value_or(0);
         }},
        {"-host:", [](const std::string& v, wmi::TWMI& w, CommandLineParams&) { w.SetHost(v); }},
        {"-namespace:",
         [](const std::string& v, wmi::TWMI& w, CommandLineParams&) { w.SetNamespace(v); }},
        {"-user:", [](const std::string& v, wmi::TWMI& w, CommandLineParams&) { w.User = v; }},
        {"-pswd:", [](const std::string& v, wmi::TWMI& w, CommandLineParams&) { w.Password = v; }},
        {"-query:",
         [](const std::string& v, wmi::TWMI&, CommandLineParams& p) { p.CommandLineQuery = v; }},
        {"-auth:",
         [](const std::string& v, wmi::TWMI&, CommandLineParams& p) {
             if (auto method = wbem::parseAuthMethod(v))
                 p.Auth = *method;
             else if (p.UsageError.empty())
                 p.UsageError = "Unknown authentication method \"" + v +
                                "\" in -auth:. Use negotiate, basic, kerberos or ntlm.";
         }},
        {"-cacert:", [](const std::string& v, wmi::TWMI&, CommandLineParams& p) { p.CaFile = v; }},
        {"-authlevel:",
         [](const std::string& v, wmi::TWMI&, CommandLineParams&) {
             if (auto level = results::textAsInteger(v); level && *level >= 0 && *level <= 6)
                 wmi::AuthenticationLevel = *level;
         }},
    };
    if (argument == "-unencrypted") {
        params.AllowUnencrypted = true;
        return;
    }
    for (const Option& option : kOptions) {
        if (!startsWith(argument, option.name)) continue;
        option.apply(wmi::Trimmed(argument.substr(option.name.size())), wmi, params);
        return;
    }
}

void ApplyCommandLine(const std::vector<std::string>& arguments, wmi::TWMI& wmi,
                      CommandLineParams& params, const RememberedOptions& remembered) {
    params.CommandLineQuery.clear();
    params.Auth.reset();
    params.CaFile.reset();
    params.AllowUnencrypted = false;
    params.UsageError.clear();
    for (const std::string& argument : arguments) ParseParam(argument, wmi, params);
    std::optional<wbem::RemoteOptions> known;
    if (remembered) known = remembered(wmi.Host);
    wmi.remote = WithCommandLineOptions(known ? *known : wmi.remote, params);
}

wbem::RemoteOptions WithCommandLineOptions(wbem::RemoteOptions options,
                                           const CommandLineParams& params) {
    if (params.Auth) options.auth = *params.Auth;
    if (params.CaFile) options.caFile = *params.CaFile;
    if (params.AllowUnencrypted) options.allowUnencrypted = true;
    return options;
}

}  // namespace ui
