// The parsed form of a WQL statement: one small node type per kind, children
// owned by unique_ptr, each node with the byte offset where it starts.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../repository/cim_value.h"

namespace wbem::wql::ast {

// A property or class name as written.
struct Name {
    std::string text;
    size_t offset = 0;
};

// A literal: null, boolean, integer (SInt when negative, else UInt), real or
// string, held as the repository holds values.
struct Constant {
    CimValue value;
    size_t offset = 0;
};

enum class ExprKind { And, Or, Not, Compare, Like, IsNull, Isa };

struct Expr {
    virtual ~Expr() = default;
    ExprKind kind;
    size_t offset;

  protected:
    Expr(ExprKind k, size_t o) : kind(k), offset(o) {}
};

using ExprPtr = std::unique_ptr<Expr>;

// a AND b AND ...; a OR b OR ... (two or more terms).
struct AndExpr : Expr {
    explicit AndExpr(size_t o) : Expr(ExprKind::And, o) {}
    std::vector<ExprPtr> terms;
};
struct OrExpr : Expr {
    explicit OrExpr(size_t o) : Expr(ExprKind::Or, o) {}
    std::vector<ExprPtr> terms;
};
struct NotExpr : Expr {
    NotExpr(size_t o, ExprPtr e) : Expr(ExprKind::Not, o), operand(std::move(e)) {}
    ExprPtr operand;
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// property op constant. A comparison written constant-first is stored with
// the operator mirrored (5 < X becomes X > 5); constantFirst records it.
struct CompareExpr : Expr {
    CompareExpr(size_t o) : Expr(ExprKind::Compare, o) {}
    Name property;
    CompareOp op = CompareOp::Equal;
    Constant constant;
    bool constantFirst = false;
};

// property LIKE 'pattern'
struct LikeExpr : Expr {
    LikeExpr(size_t o) : Expr(ExprKind::Like, o) {}
    Name property;
    Constant pattern;
};

// property IS [NOT] NULL (also property = NULL, property <> NULL)
struct IsNullExpr : Expr {
    IsNullExpr(size_t o) : Expr(ExprKind::IsNull, o) {}
    Name property;
    bool negated = false;
};

// property ISA 'Class'; the property may be __this.
struct IsaExpr : Expr {
    IsaExpr(size_t o) : Expr(ExprKind::Isa, o) {}
    Name property;
    Name className;
};

enum class QueryKind { Select, Associators, References };

struct Query {
    virtual ~Query() = default;
    QueryKind kind;
    size_t offset;

  protected:
    Query(QueryKind k, size_t o) : kind(k), offset(o) {}
};

// SELECT * | name, ... FROM class [WHERE expr]
struct SelectQuery : Query {
    explicit SelectQuery(size_t o) : Query(QueryKind::Select, o) {}
    bool star = false;
    std::vector<Name> columns;
    Name className;
    ExprPtr where;  // null without WHERE
};

// ASSOCIATORS OF {path} / REFERENCES OF {path} [WHERE keyword = value ...]
struct AssocQuery : Query {
    AssocQuery(QueryKind k, size_t o) : Query(k, o) {}
    Name path;  // the text between the braces
    std::optional<Name> assocClass, resultClass, role, resultRole, requiredQualifier,
        requiredAssocQualifier;
    bool classDefsOnly = false;
    bool keysOnly = false;
    bool schemaOnly = false;
};

}  // namespace wbem::wql::ast
