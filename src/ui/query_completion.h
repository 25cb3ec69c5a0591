// What the query box offers while the user types: class names, property
// names of the class after FROM, and keywords, from what the connection has
// already read (the caller's cache). Needs no window.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string_view>

namespace ui {

struct Completion {
    int start = 0;  // where the word being completed starts; it ends at the cursor
    QStringList candidates;
};

// The property names of a class the class list holds (the name is given as
// the list spells it); empty when unknown.
using PropertiesOf = std::function<QStringList(const QString& className)>;

// The candidates for the word that ends at `cursor` in `text`, those that
// begin with it (ignoring case), in the order the sources give them:
// - class names after FROM, ISA, AssocClass =, ResultClass =, and inside the
//   quotes of __CLASS = '...' (as meta_class queries name classes);
// - property names of the class after FROM (wherever FROM is) after SELECT,
//   a comma of the select list, WHERE, AND, OR, NOT and an opening parenthesis;
// - keywords elsewhere, once a letter was typed.
// Nothing inside other quotes or an object path's braces. propertiesOf is
// asked only for a name the class list holds.
Completion completionsAt(const QString& text, int cursor, const QStringList& classNames,
                         const PropertiesOf& propertiesOf);

// The text with the completed word replacing [start, cursor); the new cursor
// position after it.
QString applyCompletion(const QString& text, int start, int cursor, const QString& candidate,
                        int* newCursor);

// The position in `text` (as the box holds it) of a byte offset into its
// UTF-8 form, as the service reports where a query stopped making sense.
int textPosition(const QString& text, int64_t byteOffset);

// The error box's text after a refused query: the error as it was, then on
// its own line the reason and where, "expected FROM, at column 10" (line and
// column when the query has several lines). Just the error without a reason.
QString queryErrorText(const QString& error, const QString& reason, const QString& text,
                       int position);

}  // namespace ui
