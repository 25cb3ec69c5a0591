#include "evaluator.h"

#include <algorithm>
#include <charconv>

#include "../errors.h"
#include "../repository/object_path.h"
#include "../text.h"

namespace wbem::wql {

CimValue Operand::computeSystem(const Row& row) const {
    auto v =
        systemProperty(systemName, *row.cls, row.inst, *row.ctx, int(row.cls->properties.size()));
    return v ? std::move(*v) : CimValue();
}

namespace {

// How a predicate gets its value: straight from the instance's slot (the
// common case, no copy), or computed (system properties). Each predicate is
// instantiated for both, so the per-row path has no branch on the kind and
// no temporary value.
struct FromProperty {
    static constexpr int kCost = 1;
    Operand operand;
    template <class Fn>
    bool with(const Row& row, Fn&& fn) const {
        return fn(operand.fetchProperty(row));
    }
};
struct FromSystem {
    static constexpr int kCost = 8;  // computes the value, often a new string
    Operand operand;
    template <class Fn>
    bool with(const Row& row, Fn&& fn) const {
        CimValue v = operand.computeSystem(row);
        return fn(&v);
    }
};

template <template <class> class P, class... Args>
PredicatePtr withOperand(Operand operand, Args&&... args) {
    if (operand.isSystem())
        return std::make_unique<P<FromSystem>>(FromSystem{std::move(operand)},
                                               std::forward<Args>(args)...);
    return std::make_unique<P<FromProperty>>(FromProperty{std::move(operand)},
                                             std::forward<Args>(args)...);
}

std::vector<PredicatePtr> cheapestFirst(std::vector<PredicatePtr> terms, int& total) {
    std::stable_sort(terms.begin(), terms.end(), [](const PredicatePtr& a, const PredicatePtr& b) {
        return a->cost() < b->cost();
    });
    total = 0;
    for (const auto& t : terms) total += t->cost();
    return terms;
}

class AndPredicate : public Predicate {
  public:
    explicit AndPredicate(std::vector<PredicatePtr> t)
        : terms_(cheapestFirst(std::move(t), cost_)) {}
    bool test(const Row& row) const override {
        for (const auto& t : terms_)
            if (!t->test(row)) return false;
        return true;
    }
    int cost() const override { return cost_; }

  private:
    int cost_ = 0;
    std::vector<PredicatePtr> terms_;
};

class OrPredicate : public Predicate {
  public:
    explicit OrPredicate(std::vector<PredicatePtr> t)
        : terms_(cheapestFirst(std::move(t), cost_)) {}
    bool test(const Row& row) const override {
        for (const auto& t : terms_)
            if (t->test(row)) return true;
        return false;
    }
    int cost() const override { return cost_; }

  private:
    int cost_ = 0;
    std::vector<PredicatePtr> terms_;
};

class NotPredicate : public Predicate {
  public:
    explicit NotPredicate(PredicatePtr p) : operand_(std::move(p)) {}
    bool test(const Row& row) const override { return !operand_->test(row); }
    int cost() const override { return operand_->cost(); }

  private:
    PredicatePtr operand_;
};

template <class Source>
class ComparePredicate : public Predicate {
  public:
    ComparePredicate(Source s, ast::CompareOp op, BoundConstant c)
        : source_(std::move(s)), op_(op), constant_(std::move(c)) {
        // An integer constant meets integer values without the general path.
        if (constant_.number && constant_.number->kind != Number::Kind::Real) {
            intConst_ = true;
            const __int128 c = constant_.number->kind == Number::Kind::SInt
                                   ? static_cast<__int128>(constant_.number->s)
                                   : static_cast<__int128>(constant_.number->u);
            // The integers that hold, as one range (or all but one value):
            // beyond every 64-bit value at an open end.
            constexpr __int128 kBeyond = static_cast<__int128>(1) << 100;
            switch (op_) {
                case ast::CompareOp::Equal:
                    low_ = high_ = c;
                    break;
                case ast::CompareOp::NotEqual:
                    low_ = high_ = c;
                    outside_ = true;
                    break;
                case ast::CompareOp::Less:
                    low_ = -kBeyond;
                    high_ = c - 1;
                    break;
                case ast::CompareOp::LessEqual:
                    low_ = -kBeyond;
                    high_ = c;
                    break;
                case ast::CompareOp::Greater:
                    low_ = c + 1;
                    high_ = kBeyond;
                    break;
                case ast::CompareOp::GreaterEqual:
                    low_ = c;
                    high_ = kBeyond;
                    break;
            }
        }
    }
    bool test(const Row& row) const override {
        return source_.with(row, [this](const CimValue* v) {
            if (!v) return false;
            if (intConst_) {
                if (v->kind() == CimValue::Kind::SInt) return holdsInt(v->asSInt());
                if (v->kind() == CimValue::Kind::UInt) return holdsInt(v->asUInt());
            }
            return holds(op_, compareValue(*v, constant_));
        });
    }
    int cost() const override { return Source::kCost + (constant_.path ? 4 : 0); }

  private:
    template <class T>
    bool holdsInt(T value) const {
        const __int128 x = static_cast<__int128>(value);
        return (x >= low_ && x <= high_) != outside_;
    }

    Source source_;
    ast::CompareOp op_;
    BoundConstant constant_;
    bool intConst_ = false;
    __int128 low_ = 0;
    __int128 high_ = 0;
    bool outside_ = false;
};

template <class Source>
class LikePredicate : public Predicate {
  public:
    LikePredicate(Source s, LikePattern p) : source_(std::move(s)), pattern_(std::move(p)) {}
    bool test(const Row& row) const override {
        return source_.with(row, [this](const CimValue* v) {
            if (!v) return false;
            char buf[24];
            std::to_chars_result r{};
            switch (v->kind()) {
                case CimValue::Kind::String:
                    return pattern_.matches(v->asString());
                case CimValue::Kind::SInt:
                    r = std::to_chars(buf, buf + sizeof buf, v->asSInt());
                    break;
                case CimValue::Kind::UInt:
                    r = std::to_chars(buf, buf + sizeof buf, v->asUInt());
                    break;
                default:
                    return false;
            }
            return pattern_.matches(std::string_view(buf, size_t(r.ptr - buf)));
        });
    }
    int cost() const override { return Source::kCost + 2; }

  private:
    Source source_;
    LikePattern pattern_;
};

template <class Source>
class IsNullPredicate : public Predicate {
  public:
    IsNullPredicate(Source s, bool negated) : source_(std::move(s)), negated_(negated) {}
    bool test(const Row& row) const override {
        return source_.with(row, [this](const CimValue* v) {
            bool isNull = !v || v->isNull();
            return isNull != negated_;
        });
    }
    int cost() const override { return Source::kCost; }

  private:
    Source source_;
    bool negated_;
};

class IsaThisPredicate : public Predicate {
  public:
    explicit IsaThisPredicate(std::string c) : className_(std::move(c)) {}
    bool test(const Row& row) const override { return row.cls->derivesFrom(className_); }
    int cost() const override { return 2; }

  private:
    std::string className_;
};

template <class Source>
class IsaPropertyPredicate : public Predicate {
  public:
    IsaPropertyPredicate(Source s, std::string c)
        : source_(std::move(s)), className_(std::move(c)) {}
    bool test(const Row& row) const override {
        return source_.with(row, [&](const CimValue* v) { return isa(row, v); });
    }
    int cost() const override { return Source::kCost + 6; }  // parses a path

  private:
    bool isa(const Row& row, const CimValue* v) const {
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

    Source source_;
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
    return withOperand<ComparePredicate>(std::move(operand), op, std::move(constant));
}
PredicatePtr makeLike(Operand operand, LikePattern pattern) {
    return withOperand<LikePredicate>(std::move(operand), std::move(pattern));
}
PredicatePtr makeIsNull(Operand operand, bool negated) {
    return withOperand<IsNullPredicate>(std::move(operand), negated);
}
PredicatePtr makeIsaThis(std::string className) {
    return std::make_unique<IsaThisPredicate>(std::move(className));
}
PredicatePtr makeIsaProperty(Operand operand, std::string className) {
    return withOperand<IsaPropertyPredicate>(std::move(operand), std::move(className));
}

}  // namespace wbem::wql
