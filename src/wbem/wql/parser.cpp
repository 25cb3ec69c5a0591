#include "parser.h"

#include <array>
#include <cstdint>
#include <limits>

#include "../text.h"
#include "lexer.h"
#include "query_error.h"

namespace wbem::wql {

namespace {

using namespace ast;

// Words that cannot name a property or class.
constexpr std::array<std::string_view, 12> kReserved = {
    "SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "LIKE", "IS", "ISA", "NULL", "TRUE", "FALSE"};

// Bounds the recursion for parentheses and NOT chains, so that hostile input
// cannot exhaust the stack here or in the passes that walk the tree.
constexpr int kMaxDepth = 200;

CompareOp mirrored(CompareOp op) {
    switch (op) {
        case CompareOp::Less:
            return CompareOp::Greater;
        case CompareOp::Greater:
            return CompareOp::Less;
        case CompareOp::LessEqual:
            return CompareOp::GreaterEqual;
        case CompareOp::GreaterEqual:
            return CompareOp::LessEqual;
        default:
            return op;
    }
}

class Parser {
  public:
    explicit Parser(std::string_view q) : toks_(tokenize(q)) {}

    std::unique_ptr<Query> run() {
        std::unique_ptr<Query> q;
        if (isKeyword("SELECT")) {
            q = parseSelect();
        } else if (isKeyword("ASSOCIATORS")) {
            q = parseAssoc(QueryKind::Associators);
        } else if (isKeyword("REFERENCES")) {
            q = parseAssoc(QueryKind::References);
        } else {
            fail("expected SELECT, ASSOCIATORS OF or REFERENCES OF");
        }
        if (cur().kind != TokenKind::End) fail("unexpected text after the end of the query");
        return q;
    }

  private:
    const Token& cur() const { return toks_[i_]; }
    const Token& next() const { return toks_[i_ + 1 < toks_.size() ? i_ + 1 : i_]; }
    void advance() {
        if (i_ + 1 < toks_.size()) ++i_;
    }
    [[noreturn]] void fail(std::string detail) const {
        invalidQuery(cur().offset, std::move(detail));
    }

    static bool isWord(const Token& t, std::string_view word) {
        return t.kind == TokenKind::Identifier && iequals(t.text, word);
    }
    bool isKeyword(std::string_view word) const { return isWord(cur(), word); }
    bool accept(std::string_view word) {
        if (!isKeyword(word)) return false;
        advance();
        return true;
    }
    void expect(std::string_view word) {
        if (!accept(word)) fail("expected " + std::string(word));
    }
    static bool isReserved(const Token& t) {
        for (auto w : kReserved)
            if (isWord(t, w)) return true;
        return false;
    }
    bool atName() const { return cur().kind == TokenKind::Identifier && !isReserved(cur()); }

    Name takeName(const char* what) {
        if (!atName()) fail(std::string("expected ") + what);
        Name n{std::string(cur().text), cur().offset};
        advance();
        return n;
    }

    std::unique_ptr<Query> parseSelect() {
        auto q = std::make_unique<SelectQuery>(cur().offset);
        advance();
        if (cur().kind == TokenKind::Star) {
            q->star = true;
            advance();
        } else {
            q->columns.push_back(takeName("a property name or *"));
            while (cur().kind == TokenKind::Comma) {
                advance();
                q->columns.push_back(takeName("a property name"));
            }
        }
        expect("FROM");
        q->className = takeName("a class name");
        if (accept("WHERE")) q->where = parseOr(0);
        return q;
    }

    ExprPtr parseOr(int depth) {
        ExprPtr first = parseAnd(depth);
        if (!isKeyword("OR")) return first;
        auto node = std::make_unique<OrExpr>(first->offset);
        node->terms.push_back(std::move(first));
        while (accept("OR")) node->terms.push_back(parseAnd(depth));
        return node;
    }

    ExprPtr parseAnd(int depth) {
        ExprPtr first = parseUnary(depth);
        if (!isKeyword("AND")) return first;
        auto node = std::make_unique<AndExpr>(first->offset);
        node->terms.push_back(std::move(first));
        while (accept("AND")) node->terms.push_back(parseUnary(depth));
        return node;
    }

    ExprPtr parseUnary(int depth) {
        if (depth >= kMaxDepth) fail("condition nested too deeply");
        size_t at = cur().offset;
        if (accept("NOT")) return std::make_unique<NotExpr>(at, parseUnary(depth + 1));
        if (cur().kind == TokenKind::LParen) {
            advance();
            ExprPtr inner = parseOr(depth + 1);
            if (cur().kind != TokenKind::RParen) fail("expected )");
            advance();
            return inner;
        }
        return parsePredicate();
    }

    bool atConstant() const {
        switch (cur().kind) {
            case TokenKind::String:
            case TokenKind::Integer:
            case TokenKind::Real:
            case TokenKind::Minus:
            case TokenKind::Plus:
                return true;
            default:
                return isKeyword("TRUE") || isKeyword("FALSE") || isKeyword("NULL");
        }
    }

    Constant parseConstant() {
        Constant c;
        c.offset = cur().offset;
        const Token& t = cur();
        if (t.kind == TokenKind::String) {
            c.value = CimValue::string(t.value);
        } else if (accept("TRUE")) {
            c.value = CimValue::boolean(true);
            return c;
        } else if (accept("FALSE")) {
            c.value = CimValue::boolean(false);
            return c;
        } else if (accept("NULL")) {
            return c;
        } else {
            bool negative = false;
            if (t.kind == TokenKind::Minus || t.kind == TokenKind::Plus) {
                negative = t.kind == TokenKind::Minus;
                advance();
            }
            const Token& n = cur();
            if (n.kind == TokenKind::Real) {
                c.value = CimValue::real(negative ? -n.real : n.real);
            } else if (n.kind == TokenKind::Integer) {
                constexpr uint64_t kMinMagnitude = uint64_t(1) << 63;  // of INT64_MIN
                if (!negative) {
                    c.value = CimValue::uint(n.integer);
                } else if (n.integer == 0) {
                    c.value = CimValue::sint(0);
                } else if (n.integer <= kMinMagnitude) {
                    c.value = CimValue::sint(int64_t(uint64_t(0) - n.integer));
                } else {
                    invalidQuery(c.offset, "number out of range");
                }
            } else {
                fail("expected a number");
            }
        }
        advance();
        return c;
    }

    bool atCompareOp() const {
        switch (cur().kind) {
            case TokenKind::Equal:
            case TokenKind::NotEqual:
            case TokenKind::Less:
            case TokenKind::Greater:
            case TokenKind::LessEqual:
            case TokenKind::GreaterEqual:
                return true;
            default:
                return false;
        }
    }

    CompareOp takeCompareOp() {
        if (!atCompareOp()) fail("expected a comparison operator");
        CompareOp op = CompareOp::Equal;
        switch (cur().kind) {
            case TokenKind::NotEqual:
                op = CompareOp::NotEqual;
                break;
            case TokenKind::Less:
                op = CompareOp::Less;
                break;
            case TokenKind::Greater:
                op = CompareOp::Greater;
                break;
            case TokenKind::LessEqual:
                op = CompareOp::LessEqual;
                break;
            case TokenKind::GreaterEqual:
                op = CompareOp::GreaterEqual;
                break;
            default:
                break;
        }
        advance();
        return op;
    }

    ExprPtr parsePredicate() {
        size_t at = cur().offset;
        if (atName()) {
            Name prop = takeName("a property name");
            if (accept("IS")) {
                auto e = std::make_unique<IsNullExpr>(at);
                e->property = std::move(prop);
                e->negated = accept("NOT");
                expect("NULL");
                return e;
            }
            if (accept("ISA")) {
                auto e = std::make_unique<IsaExpr>(at);
                e->property = std::move(prop);
                if (cur().kind != TokenKind::String) fail("expected a class name in quotes");
                e->className = Name{cur().value, cur().offset};
                advance();
                return e;
            }
            if (accept("LIKE")) {
                auto e = std::make_unique<LikeExpr>(at);
                e->property = std::move(prop);
                if (cur().kind != TokenKind::String) fail("expected a pattern in quotes");
                e->pattern = parseConstant();
                return e;
            }
            size_t opAt = cur().offset;
            CompareOp op = takeCompareOp();
            if (atName()) fail("a property can only be compared with a constant");
            if (!atConstant()) fail("expected a constant");
            return comparison(at, std::move(prop), op, parseConstant(), false, opAt);
        }
        if (atConstant()) {
            Constant c = parseConstant();
            size_t opAt = cur().offset;
            CompareOp op = takeCompareOp();
            if (!atName()) fail("a constant can only be compared with a property");
            Name prop = takeName("a property name");
            return comparison(at, std::move(prop), mirrored(op), std::move(c), true, opAt);
        }
        fail("expected a condition");
    }

    // "= NULL" and "<> NULL" test for null like IS [NOT] NULL; ordering
    // against NULL means nothing.
    ExprPtr comparison(size_t at, Name prop, CompareOp op, Constant c, bool constantFirst,
                       size_t opAt) {
        if (c.value.isNull()) {
            if (op != CompareOp::Equal && op != CompareOp::NotEqual)
                invalidQuery(opAt, "NULL can only be tested with =, <> or IS");
            auto e = std::make_unique<IsNullExpr>(at);
            e->property = std::move(prop);
            e->negated = op == CompareOp::NotEqual;
            return e;
        }
        auto e = std::make_unique<CompareExpr>(at);
        e->property = std::move(prop);
        e->op = op;
        e->constant = std::move(c);
        e->constantFirst = constantFirst;
        return e;
    }

    std::unique_ptr<Query> parseAssoc(QueryKind kind) {
        auto q = std::make_unique<AssocQuery>(kind, cur().offset);
        advance();
        expect("OF");
        if (cur().kind != TokenKind::Path) fail("expected an object path in braces");
        if (trimmed(cur().value).empty()) fail("empty object path");
        q->path = Name{cur().value, cur().offset + 1};
        advance();
        if (!accept("WHERE")) return q;
        bool any = false;
        while (cur().kind == TokenKind::Identifier) {
            any = true;
            parseAssocItem(*q);
        }
        if (!any) fail("expected an ASSOCIATORS OF or REFERENCES OF keyword");
        if (q->kind == QueryKind::Associators && q->classDefsOnly && q->resultClass)
            invalidQuery(q->resultClass->offset,
                         "ClassDefsOnly and ResultClass exclude one another");
        return q;
    }

    void parseAssocItem(AssocQuery& q) {
        const bool assoc = q.kind == QueryKind::Associators;
        struct Valued {
            std::string_view word;
            std::optional<Name>* slot;
            bool allowed;
        };
        const Valued valued[] = {
            {"AssocClass", &q.assocClass, assoc},
            {"ResultClass", &q.resultClass, true},
            {"Role", &q.role, true},
            {"ResultRole", &q.resultRole, assoc},
            {"RequiredQualifier", &q.requiredQualifier, true},
            {"RequiredAssocQualifier", &q.requiredAssocQualifier, assoc},
        };
        for (const auto& v : valued) {
            if (!isKeyword(v.word)) continue;
            if (!v.allowed) fail(std::string(v.word) + " is not valid here");
            if (v.slot->has_value()) fail(std::string(v.word) + " given twice");
            advance();
            if (cur().kind != TokenKind::Equal) fail("expected =");
            advance();
            if (cur().kind != TokenKind::Identifier) fail("expected a name");
            *v.slot = Name{std::string(cur().text), cur().offset};
            advance();
            return;
        }
        struct Flag {
            std::string_view word;
            bool* slot;
        };
        const Flag flags[] = {{"ClassDefsOnly", &q.classDefsOnly},
                              {"KeysOnly", &q.keysOnly},
                              {"SchemaOnly", &q.schemaOnly}};
        for (const auto& f : flags) {
            if (!isKeyword(f.word)) continue;
            if (*f.slot) fail(std::string(f.word) + " given twice");
            *f.slot = true;
            size_t at = cur().offset;
            advance();
            // Each of these asks for a different kind of result.
            if (int(q.classDefsOnly) + int(q.keysOnly) + int(q.schemaOnly) > 1)
                invalidQuery(at, "ClassDefsOnly, KeysOnly and SchemaOnly exclude one another");
            return;
        }
        fail("unknown keyword");
    }

    std::vector<Token> toks_;
    size_t i_ = 0;
};

}  // namespace

std::unique_ptr<ast::Query> parse(std::string_view query) { return Parser(query).run(); }

}  // namespace wbem::wql
