// Qualifier sets built from plain entries: what every back end hands out
// through Qualifiers_, an empty set included.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api.h"

namespace wbem {

struct QualifierEntry {
    std::string name;
    Variant value;
    bool local = true;
    bool toSubclass = true;
    bool toInstance = false;
    bool overridable = true;
    bool amended = false;
};

// The entries in the order given.
std::shared_ptr<ISWbemQualifierSet> makeQualifierSet(std::vector<QualifierEntry> entries);

}  // namespace wbem
