// Values typed in by a person (a method's in-parameter in a dialog or on
// wql's command line) read as the CIM type they are declared with.
#pragma once

#include <string>
#include <string_view>

#include "cim_value.h"

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

}  // namespace wbem
