// Instances: a class and one value per property slot of that class.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "class_def.h"

namespace wbem {

class Instance {
public:
    // Every property starts at its class default.
    explicit Instance(std::shared_ptr<const ClassDef> cls);

    const ClassDef& cls() const { return *cls_; }
    const std::shared_ptr<const ClassDef>& classPtr() const { return cls_; }

    const CimValue& value(int slot) const { return values_[static_cast<size_t>(slot)]; }
    // Null when the class has no such property.
    const CimValue* find(std::string_view name) const;

    void setSlot(int slot, CimValue v) { values_[static_cast<size_t>(slot)] = std::move(v); }
    // Stores the value coerced to the property's type. Throws WbemError
    // NotFound for an unknown property and TypeMismatch for a bad value.
    void set(std::string_view name, CimValue v);

    const std::vector<CimValue>& values() const { return values_; }

private:
    std::shared_ptr<const ClassDef> cls_;
    std::vector<CimValue> values_;
};

// Relative path as WMI writes it: Class.Key1="a",Key2=5 with keys in name
// order, Class=@ for a singleton; empty when the class has no keys or a key is null.
std::string relPathOf(const Instance& inst);

// Full path: \\SERVER\namespace:relpath (empty when relpath is empty).
std::string fullPath(std::string_view server, std::string_view nspace, std::string_view relPath);

}  // namespace wbem
