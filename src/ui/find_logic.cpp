#include "ui/find_logic.h"

#include <QChar>

namespace ui {

namespace {

const QString kCouldNotFind = QStringLiteral("Could not find \"");
const QString kStartOver = QStringLiteral("\"\r\rStart search over?");

}  // namespace

QString LowerAsciiLetters(QString text) {
    for (QChar& c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + ('a' - 'A'));
    return text;
}

bool IsWordCharAt(const QString& text, qsizetype index) {
    if (index < 0 || index >= text.size()) return false;
    const QChar c = text[index];
    char32_t code = c.unicode();
    if (c.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(c, text[index + 1]);
    else if (c.isLowSurrogate() && index > 0 && text[index - 1].isHighSurrogate())
        code = QChar::surrogateToUcs4(text[index - 1], c);
    return QChar::isLetterOrNumber(code);
}

qsizetype MatchPos(const QString& text, const QString& s, bool wholeWord) {
    if (text.isEmpty()) return 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype q = s.indexOf(text, from);  // 0-based
        if (q < 0) return 0;
        if (!wholeWord) return q + 1;
        const qsizetype after = q + text.size();
        if (!IsWordCharAt(s, q - 1) && (after == s.size() || !IsWordCharAt(s, after))) return q + 1;
        from = q + 1;
    }
}

bool EntryMatches(const QString& text, const QString& entry, bool wholeWord, bool matchCase) {
    if (matchCase) return MatchPos(text, entry, wholeWord) > 0;
    return MatchPos(LowerAsciiLetters(text), LowerAsciiLetters(entry), wholeWord) > 0;
}

int FindEntry(int start, int count, const std::function<QString(int)>& entryText,
              const QString& text, bool wholeWord, bool matchCase) {
    if (text.isEmpty()) return -1;
    const QString wanted = matchCase ? text : LowerAsciiLetters(text);
    for (int i = start < 0 ? 0 : start; i < count; ++i) {
        const QString entry = entryText(i);
        if (MatchPos(wanted, matchCase ? entry : LowerAsciiLetters(entry), wholeWord) > 0) return i;
    }
    return -1;
}

int ListBoxSearchStart(bool fromStart, int selected) {
    return fromStart || selected < 0 ? 0 : selected + 1;
}

int ListViewSearchStart(bool fromStart, bool anySelected, int focused, int rowCount) {
    if (fromStart || !anySelected) return 0;
    const int start = focused + 1;
    return start < rowCount ? start : 0;
}

QString RowSearchText(const std::vector<QString>& cells, int columnCount) {
    if (cells.empty()) return {};
    QString row = cells.front();
    for (size_t j = 0; j + 1 < cells.size() && static_cast<int>(j) <= columnCount - 2; ++j) {
        row += QLatin1Char('\r');
        row += cells[j + 1];
    }
    return row;
}

QString NotFoundMessage(const QString& text) { return kCouldNotFind + text + QLatin1Char('"'); }

QString StartOverQuestion(const QString& text) { return kCouldNotFind + text + kStartOver; }

}  // namespace ui
