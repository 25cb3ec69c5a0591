#include "binder.h"

#include "../errors.h"
#include "../limits.h"
#include "../repository/object_path.h"
#include "../repository/system_properties.h"
#include "../text.h"
#include "query_error.h"

namespace wbem::wql {

namespace {

using namespace ast;

bool isOrdering(CompareOp op) { return op != CompareOp::Equal && op != CompareOp::NotEqual; }

// The constant in the forms the property's type compares with.
BoundConstant bindConstant(const Constant& c, const CimTypeDecl& type, CompareOp op) {
    BoundConstant b;
    const CimValue& v = c.value;
    const CimType t = type.type;
    auto mismatch = [&](const char* why) { invalidQuery(c.offset, why); };

    if (isIntegerType(t) || isRealType(t)) {
        switch (v.kind()) {
            case CimValue::Kind::String:
                b.number = parseNumber(v.asString());
                if (!b.number) mismatch("a numeric property needs a number");
                break;
            case CimValue::Kind::Bool:
                b.number = Number::uint(v.asBool() ? 1 : 0);
                break;
            default:
                b.number = numberOf(v);
                break;
        }
        return b;
    }
    if (t == CimType::Boolean) {
        if (isOrdering(op)) mismatch("booleans compare only with = and <>");
        switch (v.kind()) {
            case CimValue::Kind::Bool:
                b.boolean = v.asBool();
                break;
            case CimValue::Kind::UInt:
                b.boolean = v.asUInt() != 0;
                break;
            case CimValue::Kind::SInt:
                b.boolean = v.asSInt() != 0;
                break;
            case CimValue::Kind::String:
                if (iequals(v.asString(), "true")) {
                    b.boolean = true;
                } else if (iequals(v.asString(), "false")) {
                    b.boolean = false;
                } else if (auto n = parseNumber(v.asString()); n && n->kind != Number::Kind::Real) {
                    b.boolean = !(n->u == 0 && n->s == 0);
                } else {
                    mismatch("a boolean property needs TRUE or FALSE");
                }
                break;
            default:
                mismatch("a boolean property needs TRUE or FALSE");
        }
        return b;
    }
    if (isStringLikeType(t)) {
        // Numbers and booleans meet text properties as their text.
        switch (v.kind()) {
            case CimValue::Kind::String:
                b.text = v.asString();
                break;
            case CimValue::Kind::Bool:
                b.text = v.asBool() ? "TRUE" : "FALSE";
                break;
            default:
                b.number = numberOf(v);
                b.text = numberText(*b.number);
                break;
        }
        if (t == CimType::Reference && !isOrdering(op)) {
            try {
                b.path = parseObjectPath(*b.text);
            } catch (const WbemError&) {
                // Compared as plain text.
            }
        }
        return b;
    }
    invalidQuery(c.offset, "an embedded object can only be tested with ISA or IS NULL");
}

class Binder {
  public:
    Binder(const SelectQuery& q, const NamespaceState& ns, BoundSelect& out)
        : q_(q), ns_(ns), out_(out) {}

    void run() {
        if (iequals(q_.className.text, "meta_class")) {
            out_.metaClass = true;
            if (!q_.star) invalidQuery(q_.columns[0].offset, "schema queries select only *");
        } else {
            out_.cls = ns_.findClass(q_.className.text);
            if (!out_.cls) invalidClass(q_.className.offset, "unknown class");
        }
        out_.star = q_.star;
        for (const Name& col : q_.columns) {
            if (isSystemPropertyName(col.text)) continue;
            int slot = out_.cls->findProperty(col.text);
            if (slot < 0) invalidQuery(col.offset, "unknown property");
            addUnique(out_.columns, out_.cls->properties[size_t(slot)].name);
        }
        if (q_.where) out_.where = bind(*q_.where);
        if (!out_.metaClass) makeHints();
    }

  private:
    // The index of `name` in `list`, added at the end when missing.
    static size_t addUnique(std::vector<std::string>& list, const std::string& name) {
        for (size_t i = 0; i < list.size(); ++i)
            if (iequals(list[i], name)) return i;
        list.push_back(name);
        return list.size() - 1;
    }

    struct Resolved {
        Operand operand;
        CimTypeDecl type;
        bool system = false;
    };

    Resolved resolve(const Name& name) {
        Resolved r;
        if (iequals(name.text, "__this"))
            invalidQuery(name.offset, "__this is only valid with ISA");
        if (isSystemPropertyName(name.text)) {
            r.system = true;
            r.operand.systemName = name.text;
            r.type = systemPropertyType(name.text);
            return r;
        }
        if (out_.metaClass) invalidQuery(name.offset, "schema queries know only system properties");
        int slot = out_.cls->findProperty(name.text);
        if (slot < 0) invalidQuery(name.offset, "unknown property");
        const PropertyDef& p = out_.cls->properties[size_t(slot)];
        r.type = p.type;
        r.operand.property = int(addUnique(out_.properties, p.name));
        return r;
    }

    const ClassDef& requireClass(const Name& name) {
        auto cls = ns_.findClass(name.text);
        if (!cls) invalidClass(name.offset, "unknown class");
        return *cls;
    }

    PredicatePtr bind(const Expr& e) {
        switch (e.kind) {
            case ExprKind::And:
            case ExprKind::Or: {
                const auto& terms = e.kind == ExprKind::And ? static_cast<const AndExpr&>(e).terms
                                                            : static_cast<const OrExpr&>(e).terms;
                std::vector<PredicatePtr> bound;
                bound.reserve(terms.size());
                for (const auto& t : terms) bound.push_back(bind(*t));
                return e.kind == ExprKind::And ? makeAnd(std::move(bound))
                                               : makeOr(std::move(bound));
            }
            case ExprKind::Not:
                return makeNot(bind(*static_cast<const NotExpr&>(e).operand));
            case ExprKind::Compare: {
                const auto& c = static_cast<const CompareExpr&>(e);
                Resolved r = resolve(c.property);
                return makeCompare(std::move(r.operand), c.op,
                                   bindConstant(c.constant, r.type, c.op));
            }
            case ExprKind::Like: {
                const auto& l = static_cast<const LikeExpr&>(e);
                Resolved r = resolve(l.property);
                CimType t = r.type.type;
                if (!isStringLikeType(t) && !isIntegerType(t))
                    invalidQuery(l.property.offset, "LIKE needs a text property");
                size_t errorAt = 0;
                const std::string& text = l.pattern.value.asString();
                if (text.size() > limits::likePatternLength)
                    invalidQuery(l.pattern.offset, "a LIKE pattern may have at most " +
                                                       std::to_string(limits::likePatternLength) +
                                                       " characters");
                auto pattern = LikePattern::compile(text, &errorAt);
                if (!pattern) invalidQuery(l.pattern.offset, "unterminated [ in the pattern");
                return makeLike(std::move(r.operand), std::move(*pattern));
            }
            case ExprKind::IsNull: {
                const auto& n = static_cast<const IsNullExpr&>(e);
                return makeIsNull(resolve(n.property).operand, n.negated);
            }
            case ExprKind::Isa: {
                const auto& i = static_cast<const IsaExpr&>(e);
                if (iequals(i.property.text, "__this"))
                    return makeIsaThis(requireClass(i.className).name);
                Resolved r = resolve(i.property);
                if (r.system ||
                    (r.type.type != CimType::Reference && r.type.type != CimType::Object))
                    invalidQuery(i.property.offset, "ISA needs __this, a reference or an object");
                return makeIsaProperty(std::move(r.operand), requireClass(i.className).name);
            }
        }
        invalidQuery(e.offset, "unsupported condition");
    }

    // Key/property = constant terms that the whole condition requires, and the
    // properties the caller will read.
    void makeHints() {
        std::vector<const Expr*> required;
        if (q_.where) {
            if (q_.where->kind == ExprKind::And) {
                for (const auto& t : static_cast<const AndExpr&>(*q_.where).terms)
                    required.push_back(t.get());
            } else {
                required.push_back(q_.where.get());
            }
        }
        for (const Expr* e : required) {
            if (e->kind != ExprKind::Compare) continue;
            const auto& c = static_cast<const CompareExpr&>(*e);
            if (c.op != CompareOp::Equal) continue;
            const PropertyDef* p = out_.cls->property(c.property.text);
            if (!p || p->type.isArray) continue;
            if (p->type.type == CimType::Reference || p->type.type == CimType::Object) continue;
            BoundConstant b = bindConstant(c.constant, p->type, c.op);
            CimValue v;
            if (b.number && !isStringLikeType(p->type.type))
                v = b.number->toValue();
            else if (b.boolean)
                v = CimValue::boolean(*b.boolean);
            else if (b.text)
                v = CimValue::string(*b.text);
            if (v.isNull()) continue;
            try {
                out_.hints.equals.emplace_back(p->name, coerceTo(v, p->type));
            } catch (const WbemError&) {
                // No instance can hold that value (5.5 for an integer, -1
                // for an unsigned one); the condition itself rejects them all.
            }
        }
        if (out_.star) return;
        auto& sel = out_.hints.selected;
        for (const auto& n : out_.columns) addUnique(sel, n);
        for (const auto& n : out_.properties) addUnique(sel, n);
        // __PATH and __RELPATH of the results are built from the keys.
        for (int slot : out_.cls->keys) addUnique(sel, out_.cls->properties[size_t(slot)].name);
    }

    const SelectQuery& q_;
    const NamespaceState& ns_;
    BoundSelect& out_;
};

}  // namespace

BoundSelect bindSelect(const ast::SelectQuery& query, const NamespaceState& ns) {
    BoundSelect out;
    Binder(query, ns, out).run();
    return out;
}

}  // namespace wbem::wql
