#include "provider.h"

#include "../text.h"

namespace wbem {

bool QueryHints::wants(std::string_view property) const {
    if (selected.empty()) return true;
    for (const auto& s : selected)
        if (iequals(s, property)) return true;
    return false;
}

const CimValue* QueryHints::equalTo(std::string_view property) const {
    for (const auto& [name, value] : equals)
        if (iequals(name, property)) return &value;
    return nullptr;
}

}  // namespace wbem
