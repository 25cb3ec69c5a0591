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

std::string keyText(const CimValue& v, CimType type, bool& quoted) {
    using K = CimValue::Kind;
    quoted = false;
    switch (v.kind()) {
        case K::SInt:
            return std::to_string(v.asSInt());
        case K::UInt:
            if (type == CimType::Char16) {
                quoted = true;
                return std::string(1, char(v.asUInt()));
            }
            return std::to_string(v.asUInt());
        case K::Bool:
            return v.asBool() ? "TRUE" : "FALSE";
        case K::String:
            quoted = true;
            return v.asString();
        default:
            quoted = true;
            return mofLiteral(v, type);
    }
}

template <typename Number>
void appendDecimal(std::string& out, Number n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    out.append(digits, end);
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
        switch (v.kind()) {
            case CimValue::Kind::SInt:
                appendDecimal(out, v.asSInt());
                break;
            case CimValue::Kind::UInt:
                if (key.type.type != CimType::Char16) {
                    appendDecimal(out, v.asUInt());
                    break;
                }
                [[fallthrough]];
            default: {
                bool quoted = false;
                const std::string text = keyText(v, key.type.type, quoted);
                appendPathValue(out, text, quoted);
            }
        }
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
