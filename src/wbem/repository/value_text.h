// Values typed in by a person (a method's in-parameter in a dialog or on
// wql's command line) read as the CIM type they are declared with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cim_value.h"
#include "class_def.h"

namespace wbem {

// `text` as a value of `type`. Integers in decimal or 0x hex, range-checked
// for their width; reals in decimal, with INF, -INF and NaN; booleans
// true/false or 1/0 in any letter case; a datetime in DMTF form
// (yyyymmddHHMMSS.mmmmmmsUUU, or ddddddddHHMMSS.mmmmmm:000 for an interval,
// with * for fields left open); char16 one character; a reference an object
// path naming a class. An array takes one element per line; empty text is an
// empty array. Throws WbemError(TypeMismatch) whose text names the fault
// (the line of an array's element included). Embedded objects are refused.
CimValue parseValueText(std::string_view text, const CimTypeDecl& type);

using ArgumentTexts = std::vector<std::pair<std::string, std::string>>;
using TypedArguments = std::vector<std::pair<std::string, CimValue>>;

// A given argument and the in-parameter it names.
struct ArgumentMatch {
    std::string_view name;  // as declared; without a declaration, as given without blanks
    const ParameterDef* declared = nullptr;  // null only without a declaration
};

// The in-parameter each given argument names, in the order given: a name is
// matched with the blanks around it and its letter case ignored, to the
// first in-parameter of `method` so named. Throws
// WbemError(InvalidParameter), its text worded by describeWithReason, for the
// first argument that names no in-parameter, or that names one an earlier
// argument named. `method` may be null (a remote server that declares none):
// every name is then taken as given, and only a name given twice is refused.
std::vector<ArgumentMatch> matchArguments(const MethodDef* method, const ArgumentTexts& given);

// A method call's arguments, matched to their in-parameters
// (matchArguments), read as their declared types (parseValueText) and named
// as declared, in the order given. Throws WbemError(InvalidParameter) as
// matchArguments does, and for a value that does not read (naming the
// parameter and the fault).
TypedArguments readArguments(const MethodDef& method, const ArgumentTexts& given);

// The elements of an array's text: one per line, a line's closing CR left
// out; empty text has none.
std::vector<std::string_view> arrayElementTexts(std::string_view text);

// The scalar readers under it, for readers that word their own errors (the
// CIM-XML reader): the value, or why the text is none.
enum class TextFault { None, NotA, OutOfRange };
struct ScalarRead {
    CimValue value;
    TextFault fault = TextFault::None;
};
// An integer type's value: decimal or 0x hex, with a sign, range-checked.
ScalarRead readInteger(std::string_view text, CimType type);
// real32 or real64: a decimal number, INF, -INF or NaN.
ScalarRead readReal(std::string_view text, CimType type);
// The code point of a text that is exactly one UTF-8 character.
std::optional<uint32_t> singleCodePoint(std::string_view text);

}  // namespace wbem
