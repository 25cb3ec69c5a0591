// Values and qualifiers: parsed literals checked against declared types.
#include <cfloat>
#include <cmath>
#include <unordered_set>

#include "../limits.h"
#include "../repository/datetime_text.h"
#include "../repository/object_path.h"
#include "builder.h"

namespace wbem::mof {

namespace {

CimType inferredType(const ValueAst& v) {
    using K = ValueAst::Kind;
    switch (v.kind) {
        case K::Bool:
            return CimType::Boolean;
        case K::Integer:
            if (v.negative) return v.magnitude <= 0x80000000ull ? CimType::SInt32 : CimType::SInt64;
            if (v.magnitude <= 0x7FFFFFFFull) return CimType::SInt32;
            return v.magnitude <= 0x7FFFFFFFFFFFFFFFull ? CimType::SInt64 : CimType::UInt64;
        case K::Real:
            return CimType::Real64;
        case K::Char:
            return CimType::Char16;
        default:
            return CimType::String;
    }
}

// The type that holds both: wider integers, reals over integers; otherwise
// the first, so that a stray element fails with its own position.
CimType unified(CimType a, CimType b) {
    if (a == b) return a;
    auto rank = [](CimType t) {
        return t == CimType::SInt32   ? 1
               : t == CimType::SInt64 ? 2
               : t == CimType::UInt64 ? 3
               : t == CimType::Real64 ? 4
                                      : 0;
    };
    if (rank(a) && rank(b)) return rank(a) > rank(b) ? a : b;
    return a;
}

}  // namespace

CimTypeDecl typeDecl(const TypeAst& t) {
    CimTypeDecl d;
    d.type = t.type;
    d.isArray = t.isArray;
    d.arraySize = t.arraySize;
    d.refClass = std::string(t.refClass);
    return d;
}

std::string typeText(const CimTypeDecl& t) {
    std::string s;
    if (t.type == CimType::Reference) {
        s = t.refClass.empty() ? "ref" : t.refClass + " ref";
    } else if (t.type == CimType::Object && !t.refClass.empty()) {
        s = "object:" + t.refClass;
    } else {
        s = std::string(cimTypeName(t.type));
    }
    if (t.isArray) s += "[]";
    return s;
}

void collectAliases(const ValueAst& v, std::vector<const ValueAst*>& out) {
    switch (v.kind) {
        case ValueAst::Kind::Alias:
            out.push_back(&v);
            break;
        case ValueAst::Kind::Array:
            for (const ValueAst& e : v.elements) collectAliases(e, out);
            break;
        case ValueAst::Kind::Instance:
            for (const AssignmentAst& a : v.instance->assignments) collectAliases(a.value, out);
            break;
        default:
            break;
    }
}

Builder::Builder(Repository::Transaction& tx, const SourceSet& sources)
    : tx_(tx), sources_(sources) {}

NamespaceState& Builder::nsOf(std::string_view path) {
    if (!lastNs_ || path != lastPath_) {
        lastNs_ = &tx_.ns(path, true);
        lastPath_ = std::string(path);
    }
    return *lastNs_;
}

std::string Builder::snippet(const ValueAst& v) const {
    std::string_view text = sources_.text(v.pos.file);
    if (v.end <= v.pos.offset || v.end > text.size()) return "a value";
    std::string_view raw = text.substr(v.pos.offset, v.end - v.pos.offset);
    std::string out;
    bool blank = false;
    for (char c : raw) {
        bool isBlank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (isBlank) {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
        if (out.size() >= 40) {
            // Do not cut a UTF-8 sequence in half.
            while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) {
                out.pop_back();
            }
            if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
            return out + "...";
        }
    }
    return out;
}

void Builder::failType(const ValueAst& v, const CimTypeDecl& type,
                       const ValueTarget& target) const {
    fail(v.pos,
         "expected a value of type " + typeText(type) + " for " + target.kind + " '" +
             std::string(target.name) + "', found " + snippet(v),
         hr::TypeMismatch);
}

CimValue Builder::value(ValueAst& v, const CimTypeDecl& type, const ValueTarget& target,
                        std::string_view nspace) {
    CimTypeDecl element = type;
    element.isArray = false;
    element.arraySize = -1;
    if (v.kind == ValueAst::Kind::Array) {
        if (!type.isArray) failType(v, type, target);
        if (type.arraySize >= 0 && v.elements.size() > static_cast<size_t>(type.arraySize)) {
            fail(v.pos,
                 "expected at most " + std::to_string(type.arraySize) + " values for " +
                     target.kind + " '" + std::string(target.name) + "', found " +
                     std::to_string(v.elements.size()),
                 hr::TypeMismatch);
        }
        CimValue::Array out;
        out.reserve(v.elements.size());
        for (ValueAst& e : v.elements) out.push_back(scalar(e, element, target, nspace));
        return CimValue::array(std::move(out));
    }
    CimValue one = scalar(v, element, target, nspace);
    // A single value where an array is declared is an array of one, as
    // coerceTo treats it.
    if (type.isArray && !one.isNull()) return CimValue::array({std::move(one)});
    return one;
}

CimValue Builder::scalar(ValueAst& v, const CimTypeDecl& type, const ValueTarget& target,
                         std::string_view nspace) {
    using K = ValueAst::Kind;
    CimValue raw;
    switch (v.kind) {
        case K::Null:
            return CimValue();
        case K::Bool:
            raw = CimValue::boolean(v.boolean);
            break;
        case K::Integer:
            if (!v.negative) {
                raw = CimValue::uint(v.magnitude);
            } else if (v.magnitude <= (uint64_t(1) << 63)) {
                raw = CimValue::sint(static_cast<int64_t>(uint64_t(0) - v.magnitude));
            } else {
                failType(v, type, target);
            }
            break;
        case K::Real:
            if (type.type == CimType::Real32 && std::fabs(v.real) > FLT_MAX) {
                failType(v, type, target);
            }
            raw = CimValue::real(v.real);
            break;
        case K::String:
            if (type.type == CimType::DateTime && !readCimDateTime(v.text))
                failType(v, type, target);
            if (type.type == CimType::Reference) {
                try {
                    parseObjectPath(v.text);
                } catch (const WbemError&) {
                    failType(v, type, target);
                }
            }
            if (type.type == CimType::Char16) {
                // One character, which must fit in 16 bits.
                std::string_view s = v.text;
                size_t len = s.empty() ? 0 : utf8Length(static_cast<unsigned char>(s[0]));
                if (len == 0 || s.size() != len || len == 4) failType(v, type, target);
                return CimValue::uint(decodeUtf8(s, 0, len));
            }
            // Checked above; a string needs no conversion, so it moves as is.
            if (isStringLikeType(type.type)) return CimValue::string(std::move(v.text));
            raw = CimValue::string(std::move(v.text));
            break;
        case K::Char:
            if (type.type == CimType::String) {
                std::string s;
                appendUtf8(s, static_cast<uint32_t>(v.magnitude));
                return CimValue::string(std::move(s));
            }
            raw = CimValue::uint(v.magnitude);
            break;
        case K::Alias:
            if (type.type != CimType::Reference) failType(v, type, target);
            if (!resolver_ || !aliasesAllowed_) {
                fail(v.pos, "an alias can only be used as a property value of an instance");
            }
            {
                AliasTarget t = resolver_(v, nspace);
                if (!type.refClass.empty() && !t.cls->derivesFrom(type.refClass)) {
                    fail(v.pos,
                         "expected a value of type " + typeText(type) + " for " + target.kind +
                             " '" + std::string(target.name) + "', found $" + v.text +
                             " (an instance of " + t.cls->name + ")",
                         hr::TypeMismatch);
                }
                return CimValue::string(std::move(t.path));
            }
        case K::Instance: {
            if (type.type != CimType::Object) failType(v, type, target);
            std::shared_ptr<Instance> inst = instance(*v.instance, nspace, nullptr);
            if (!type.refClass.empty() && !inst->cls().derivesFrom(type.refClass)) {
                fail(v.pos,
                     "expected an object of class " + type.refClass + " for " + target.kind + " '" +
                         std::string(target.name) + "', found an instance of " + inst->cls().name,
                     hr::TypeMismatch);
            }
            return CimValue::object(std::move(inst));
        }
        default:
            failType(v, type, target);
    }
    try {
        return coerceTo(raw, type);
    } catch (const WbemError&) {
        failType(v, type, target);
    }
}

std::vector<Qualifier> Builder::qualifiers(QualifierList& list, std::string_view nspace) {
    std::vector<Qualifier> out;
    if (list.size() > limits::qualifiersPerElement)
        fail(list[limits::qualifiersPerElement].pos,
             "more than " + std::to_string(limits::qualifiersPerElement) + " qualifiers");
    out.reserve(list.size());
    const NamespaceState& ns = nsOf(nspace);
    std::unordered_set<std::string_view, IHash, IEqual> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!seen.insert(list[i].name).second)
            fail(list[i].pos, "qualifier '" + std::string(list[i].name) + "' is given twice");
        out.push_back(qualifier(list[i], ns));
    }
    return out;
}

Qualifier Builder::qualifier(QualifierAst& q, const NamespaceState& ns) {
    Qualifier out;
    out.name = std::string(q.name);
    const ValueTarget target{"qualifier", q.name};
    auto decl = ns.qualifierDecls.find(q.name);
    if (decl != ns.qualifierDecls.end()) {
        const QualifierDecl& d = decl->second;
        out.type = d.type.type;
        out.isArray = d.type.isArray;
        out.flavors = d.flavors;
        if (q.value) {
            out.value = value(*q.value, d.type, target, {});
        } else if (d.type.type == CimType::Boolean && !d.type.isArray) {
            out.value = CimValue::boolean(true);  // [Key] means Key(true)
        } else {
            out.value = d.defaultValue;
        }
    } else if (!q.value) {
        out.type = CimType::Boolean;
        out.value = CimValue::boolean(true);
    } else {
        CimTypeDecl t;
        if (q.value->kind == ValueAst::Kind::Array) {
            t.isArray = true;
            bool first = true;
            for (const ValueAst& e : q.value->elements) {
                if (e.kind == ValueAst::Kind::Null) continue;
                t.type = first ? inferredType(e) : unified(t.type, inferredType(e));
                first = false;
            }
        } else {
            t.type = inferredType(*q.value);
        }
        out.type = t.type;
        out.isArray = t.isArray;
        out.value = value(*q.value, t, target, {});
    }
    out.flavors = static_cast<uint8_t>((out.flavors | q.flavors.set) & ~q.flavors.clear);
    return out;
}

}  // namespace wbem::mof
