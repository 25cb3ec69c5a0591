#include "instance.h"

#include <charconv>

#include "../errors.h"
#include "object_path.h"

namespace wbem {

Instance::Instance(std::shared_ptr<const ClassDef> cls) : cls_(std::move(cls)) {
    values_.reserve(cls_->properties.size());
    for (const auto& p : cls_->properties) values_.push_back(p.defaultValue);
}

const CimValue* Instance::find(std::string_view name) const {
    int slot = cls_->findProperty(name);
    return slot < 0 ? nullptr : &values_[size_t(slot)];
}

void Instance::set(std::string_view name, CimValue v) {
    int slot = cls_->findProperty(name);
    if (slot < 0) fail(hr::NotFound);
    values_[size_t(slot)] = coerceTo(v, cls_->properties[size_t(slot)].type);
}

namespace {

template <typename Number>
void appendDecimal(std::string& out, Number n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
}

// A key's value as a path writes it, appended in place: numbers and booleans
// bare, everything else quoted.
void appendKeyValue(std::string& out, const CimValue& v, CimType type) {
    using K = CimValue::Kind;
    switch (v.kind()) {
        case K::SInt:
            appendDecimal(out, v.asSInt());
            return;
        case K::UInt:
            if (type == CimType::Char16) {
                appendPathValue(out, std::string(1, char(v.asUInt())), true);
                return;
            }
            appendDecimal(out, v.asUInt());
            return;
        case K::Bool:
            out += v.asBool() ? "TRUE" : "FALSE";
            return;
        case K::String:
            appendPathValue(out, v.asString(), true);
            return;
        default:
            appendPathValue(out, mofLiteral(v, type), true);
            return;
    }
}

}  // namespace

std::string relPathOf(const Instance& inst) {
    const ClassDef& cls = inst.cls();
    if (cls.singleton) return cls.name + "=@";
    if (cls.keys.empty()) return {};
    // Every object of a listing or a query result asks for its path: the
    // text is built in place, without a string per key.
    std::string out;
    out.reserve(cls.name.size() + 24 * cls.keys.size());
    out = cls.name;
    bool first = true;
    for (int slot : cls.keys) {
        const CimValue& v = inst.value(slot);
        if (v.isNull()) return {};
        const PropertyDef& key = cls.properties[size_t(slot)];
        out += first ? '.' : ',';
        first = false;
        out += key.name;
        out += '=';
        appendKeyValue(out, v, key.type.type);
    }
    return out;
}

std::string fullPath(std::string_view server, std::string_view nspace, std::string_view relPath) {
    if (relPath.empty()) return {};
    std::string out;
    out.reserve(4 + server.size() + nspace.size() + relPath.size());
    out += "\\\\";
    out += server;
    out += '\\';
    out += nspace;
    out += ':';
    out += relPath;
    return out;
}

}  // namespace wbem
