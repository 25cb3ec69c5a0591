#include "evaluator.h"

#include <charconv>

#include "../errors.h"
#include "../repository/object_path.h"

namespace wbem::wql {

const CimValue* Operand::fetch(const Row& row, CimValue& scratch) const {
    if (property >= 0) {
        if (!row.inst) return nullptr;
        int slot = row.slots[property];
        return slot < 0 ? nullptr : &row.inst->value(slot);
    }
    auto v = systemProperty(systemName, *row.cls, row.inst, *row.ctx,
                            int(row.cls->properties.size()));
    if (!v) return nullptr;
    scratch = std::move(*v);
    return &scratch;
}

namespace {

class AndPredicate : public Predicate {
public:
    explicit AndPredicate(std::vector<PredicatePtr> t) : terms_(std::move(t)) {}
    bool test(const Row& row) const override {
        for (const auto& t : terms_)
            if (!t->test(row)) return false;
        return true;
    }

private:
    std::vector<PredicatePtr> terms_;
};

class OrPredicate : public Predicate {
public:
    explicit OrPredicate(std::vector<PredicatePtr> t) : terms_(std::move(t)) {}
    bool test(const Row& row) const override {
        for (const auto& t : terms_)
            if (t->test(row)) return true;
        return false;
    }

private:
    std::vector<PredicatePtr> terms_;
};

class NotPredicate : public Predicate {
public:
    explicit NotPredicate(PredicatePtr p) : operand_(std::move(p)) {}
    bool test(const Row& row) const override { return !operand_->test(row); }

private:
    PredicatePtr operand_;
};

class ComparePredicate : public Predicate {
public:
    ComparePredicate(Operand o, ast::CompareOp op, BoundConstant c)
        : operand_(std::move(o)), op_(op), constant_(std::move(c)) {}
    bool test(const Row& row) const override {
        CimValue scratch;
        const CimValue* v = operand_.fetch(row, scratch);
        return v && holds(op_, compareValue(*v, constant_));
    }

private:
    Operand operand_;
    ast::CompareOp op_;
    BoundConstant constant_;
};

class LikePredicate : public Predicate {
public:
    LikePredicate(Operand o, LikePattern p) : operand_(std::move(o)), pattern_(std::move(p)) {}
    bool test(const Row& row) const override {
        CimValue scratch;
        const CimValue* v = operand_.fetch(row, scratch);
        if (!v) return false;
        char buf[24];
        std::to_chars_result r{};
        switch (v->kind()) {
            case CimValue::Kind::String: return pattern_.matches(v->asString());
            case CimValue::Kind::SInt: r = std::to_chars(buf, buf + sizeof buf, v->asSInt()); break;
            case CimValue::Kind::UInt: r = std::to_chars(buf, buf + sizeof buf, v->asUInt()); break;
            default: return false;
        }
        return pattern_.matches(std::string_view(buf, size_t(r.ptr - buf)));
    }

private:
    Operand operand_;
    LikePattern pattern_;
};

class IsNullPredicate : public Predicate {
public:
    IsNullPredicate(Operand o, bool negated) : operand_(std::move(o)), negated_(negated) {}
    bool test(const Row& row) const override {
        CimValue scratch;
        const CimValue* v = operand_.fetch(row, scratch);
        bool isNull = !v || v->isNull();
        return isNull != negated_;
    }

private:
    Operand operand_;
    bool negated_;
};

class IsaThisPredicate : public Predicate {
public:
    explicit IsaThisPredicate(std::string c) : className_(std::move(c)) {}
    bool test(const Row& row) const override { return row.cls->derivesFrom(className_); }

private:
    std::string className_;
};

class IsaPropertyPredicate : public Predicate {
public:
    IsaPropertyPredicate(Operand o, std::string c)
        : operand_(std::move(o)), className_(std::move(c)) {}
    bool test(const Row& row) const override {
        CimValue scratch;
        const CimValue* v = operand_.fetch(row, scratch);
        if (!v) return false;
        if (v->kind() == CimValue::Kind::Object)
            return v->asObject() && v->asObject()->cls().derivesFrom(className_);
        if (v->kind() != CimValue::Kind::String) return false;
        // A reference: judge by the class its path names.
        try {
            ObjectPath path = parseObjectPath(v->asString());
            if (auto cls = row.ns->findClass(path.className)) return cls->derivesFrom(className_);
            return iequals(path.className, className_);
        } catch (const WbemError&) {
            return false;
        }
    }

private:
    Operand operand_;
    std::string className_;
};

}  // namespace

PredicatePtr makeAnd(std::vector<PredicatePtr> terms) {
    return std::make_unique<AndPredicate>(std::move(terms));
}
PredicatePtr makeOr(std::vector<PredicatePtr> terms) {
    return std::make_unique<OrPredicate>(std::move(terms));
}
PredicatePtr makeNot(PredicatePtr operand) {
    return std::make_unique<NotPredicate>(std::move(operand));
}
PredicatePtr makeCompare(Operand operand, ast::CompareOp op, BoundConstant constant) {
    return std::make_unique<ComparePredicate>(std::move(operand), op, std::move(constant));
}
PredicatePtr makeLike(Operand operand, LikePattern pattern) {
    return std::make_unique<LikePredicate>(std::move(operand), std::move(pattern));
}
PredicatePtr makeIsNull(Operand operand, bool negated) {
    return std::make_unique<IsNullPredicate>(std::move(operand), negated);
}
PredicatePtr makeIsaThis(std::string className) {
    return std::make_unique<IsaThisPredicate>(std::move(className));
}
PredicatePtr makeIsaProperty(Operand operand, std::string className) {
    return std::make_unique<IsaPropertyPredicate>(std::move(operand), std::move(className));
}

}  // namespace wbem::wql
