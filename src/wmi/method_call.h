// Running a method of a class or object: its signature as the object model
// declares it, the arguments a person typed checked against it, the call,
// and its out-parameters as texts. Shared by wql -call: and the window's
// method dialog; no Qt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wbem/api.h"
#include "wmi/bw_wmi.h"

namespace wmi {

struct MethodParameter {
    std::string name;
    wbem::CimTypeDecl type;
    std::string typeText;     // "uint32", "string[]"
    std::string description;  // its Description qualifier, "" without one
};

struct MethodSignature {
    std::string className;
    std::string name;  // as declared
    bool isStatic = false;
    std::vector<MethodParameter> in;
    std::vector<MethodParameter> out;  // without ReturnValue
    // The method's ValueMap entries with their Values texts, when it declares them.
    std::vector<std::pair<std::string, std::string>> returnMeanings;

    const MethodParameter* findIn(std::string_view name) const;  // ignores case
};

// The method as the class declares it. Throws wbem::WbemError: InvalidMethod
// naming the class for a method it does not have.
MethodSignature DescribeMethod(wbem::ISWbemServices& services, std::string_view className,
                               std::string_view method);

using MethodArguments = std::vector<std::pair<std::string, std::string>>;

// The arguments by their declared names, each checked against its type
// (wbem::readArguments). Throws wbem::WbemError(InvalidParameter) that names
// an unknown parameter, one given twice, or the parameter and fault of a bad value.
MethodArguments CheckArguments(const MethodSignature& signature, const MethodArguments& given);

// The class a path or class name names.
std::string ClassOfPath(std::string_view path);

// The Values text the method declares for a return value ("Access Denied"),
// or "" when it declares none for it.
std::string ReturnMeaning(const MethodSignature& signature, std::string_view returnValue);

struct MethodOutcome {
    std::vector<std::pair<std::string, std::string>> out;  // out-parameters, values rendered
    std::optional<std::string> returnValue;                // rendered; none when not given
    std::string returnMeaning;                             // see ReturnMeaning
    // No ReturnValue, or 0: WMI's methods report success so.
    bool succeeded() const { return !returnValue || *returnValue == "0"; }
};

// Checks the arguments, then runs the method on `path` (an instance path,
// or the class for a static method) and reads what it gave back, rendered
// in codePage. Throws wbem::WbemError; a method on a class that is not
// static is refused (InvalidMethod) before anything runs.
MethodOutcome RunMethod(wbem::ISWbemServices& services, std::string_view path,
                        const MethodSignature& signature, const MethodArguments& arguments,
                        int32_t codePage);

// "Name = value" lines: the out-parameters, then "ReturnValue = 2 (Access Denied)".
std::string OutcomeText(const MethodOutcome& outcome);

}  // namespace wmi
