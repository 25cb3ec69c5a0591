#include "ui/query_completion.h"

#include <QByteArray>
#include <algorithm>
#include <vector>

namespace ui {

namespace {

enum class Kind { Word, String, Braced, Symbol };

struct Token {
    Kind kind;
    int begin;
    int end;  // past the last character; the text's end for an unclosed one
    QString text;
};

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

std::vector<Token> tokenize(const QString& text) {
    std::vector<Token> tokens;
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        const QChar c = text[i];
        const int begin = i;
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Kind kind = Kind::Symbol;
        if (isWordChar(c)) {
            kind = Kind::Word;
            while (i < n && isWordChar(text[i])) ++i;
        } else if (c == u'"' || c == u'\'') {
            kind = Kind::String;
            for (++i; i < n && text[i] != c; ++i)
                if (text[i] == u'\\') ++i;
            i = std::min(i + 1, n);
        } else if (c == u'{') {
            kind = Kind::Braced;
            while (i < n && text[i] != u'}') ++i;
            i = std::min(i + 1, n);
        } else {
            ++i;
        }
        tokens.push_back(Token{kind, begin, i, text.mid(begin, i - begin)});
    }
    return tokens;
}

bool isWord(const Token& t, const char* word) {
    return t.kind == Kind::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
bool isSymbol(const Token& t, char16_t c) { return t.kind == Kind::Symbol && t.text == QChar(c); }

const char* const kKeywords[] = {
    "SELECT",
    "FROM",
    "WHERE",
    "AND",
    "OR",
    "NOT",
    "ISA",
    "LIKE",
    "IS",
    "NULL",
    "TRUE",
    "FALSE",
    "ASSOCIATORS",
    "REFERENCES",
    "OF",
    "AssocClass",
    "Role",
    "ResultClass",
    "ResultRole",
    "ClassDefsOnly",
    "KeysOnly",
    "SchemaOnly",
    "RequiredQualifier",
    "RequiredAssocQualifier",
};

enum class Want { Nothing, Classes, Properties, Keywords };

// The class after FROM, as the class list spells it; empty when the list does
// not hold it.
QString fromClass(const std::vector<Token>& tokens, const QStringList& classNames) {
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (!isWord(tokens[i], "FROM") || tokens[i + 1].kind != Kind::Word) continue;
        for (const QString& name : classNames)
            if (name.compare(tokens[i + 1].text, Qt::CaseInsensitive) == 0) return name;
        return {};
    }
    return {};
}

// Whether the comma at `index` belongs to a select list: a SELECT comes before
// it and no FROM between.
bool inSelectList(const std::vector<Token>& tokens, size_t index) {
    for (size_t i = index; i-- > 0;) {
        if (isWord(tokens[i], "FROM")) return false;
        if (isWord(tokens[i], "SELECT")) return true;
    }
    return false;
}

Want wanted(const std::vector<Token>& tokens, int start) {
    // The last token before the word, and the one the word is inside of.
    size_t before = tokens.size();
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.begin < start && start < t.end && t.kind != Kind::Word) {
            if (t.kind != Kind::String) return Want::Nothing;
            // Inside quotes: only a class name after __CLASS = or ISA.
            const bool classQuote =
                (i >= 1 && isWord(tokens[i - 1], "ISA")) ||
                (i >= 2 && isSymbol(tokens[i - 1], u'=') && isWord(tokens[i - 2], "__CLASS"));
            return classQuote ? Want::Classes : Want::Nothing;
        }
        if (t.end <= start) before = i;
    }
    if (before == tokens.size()) return Want::Keywords;
    const Token& prev = tokens[before];
    if (isWord(prev, "FROM") || isWord(prev, "ISA")) return Want::Classes;
    if (isSymbol(prev, u'=') && before >= 1 &&
        (isWord(tokens[before - 1], "AssocClass") || isWord(tokens[before - 1], "ResultClass")))
        return Want::Classes;
    for (const char* word : {"SELECT", "WHERE", "AND", "OR", "NOT"})
        if (isWord(prev, word)) return Want::Properties;
    if (isSymbol(prev, u'(')) return Want::Properties;
    if (isSymbol(prev, u',') && inSelectList(tokens, before)) return Want::Properties;
    return Want::Keywords;
}

void addMatching(QStringList& out, const QStringList& names, const QString& prefix) {
    for (const QString& name : names)
        if (name.startsWith(prefix, Qt::CaseInsensitive) && name != prefix) out.push_back(name);
}

}  // namespace

Completion completionsAt(const QString& text, int cursor, const QStringList& classNames,
                         const PropertiesOf& propertiesOf) {
    Completion out;
    cursor = std::clamp(cursor, 0, int(text.size()));
    int start = cursor;
    while (start > 0 && isWordChar(text[start - 1])) --start;
    out.start = start;
    const QString prefix = text.mid(start, cursor - start);

    const std::vector<Token> tokens = tokenize(text);
    switch (wanted(tokens, start)) {
        case Want::Nothing:
            break;
        case Want::Classes:
            addMatching(out.candidates, classNames, prefix);
            break;
        case Want::Properties:
            if (const QString cls = fromClass(tokens, classNames); !cls.isEmpty() && propertiesOf)
                addMatching(out.candidates, propertiesOf(cls), prefix);
            break;
        case Want::Keywords:
            if (prefix.isEmpty()) break;
            for (const char* keyword : kKeywords) {
                const QString word = QLatin1String(keyword);
                if (word.startsWith(prefix, Qt::CaseInsensitive) &&
                    word.compare(prefix, Qt::CaseInsensitive) != 0)
                    out.candidates.push_back(word);
            }
            break;
    }
    return out;
}

QString applyCompletion(const QString& text, int start, int cursor, const QString& candidate,
                        int* newCursor) {
    start = std::clamp(start, 0, int(text.size()));
    cursor = std::clamp(cursor, start, int(text.size()));
    if (newCursor) *newCursor = start + int(candidate.size());
    return text.left(start) + candidate + text.mid(cursor);
}

int textPosition(const QString& text, int64_t byteOffset) {
    const QByteArray bytes = text.toUtf8();
    if (byteOffset <= 0) return 0;
    if (byteOffset >= bytes.size()) return int(text.size());
    return int(QString::fromUtf8(bytes.left(qsizetype(byteOffset))).size());
}

QString queryErrorText(const QString& error, const QString& reason, const QString& text,
                       int position) {
    if (reason.isEmpty()) return error;
    position = std::clamp(position, 0, int(text.size()));
    const int lineStart = position > 0 ? int(text.lastIndexOf(u'\n', position - 1)) + 1 : 0;
    const int column = position - lineStart + 1;
    const QString where = text.contains(u'\n') ? QStringLiteral("line %1, column %2")
                                                     .arg(text.left(position).count(u'\n') + 1)
                                                     .arg(column)
                                               : QStringLiteral("column %1").arg(column);
    return error + u'\n' + reason + QStringLiteral(", at ") + where;
}

}  // namespace ui
