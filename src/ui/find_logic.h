// The rules of Find and Search again that need no window: where a text
// matches (whole words or anywhere, with or without case), where a search
// starts, and the texts the user is told.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace ui {

// Only the letters A to Z are lowered; every other character stays as it is.
QString LowerAsciiLetters(QString text);

// A letter or digit of any script; the underscore, blanks, punctuation and
// control characters are not. A character outside the basic plane counts by
// its whole code point.
bool IsWordCharAt(const QString& text, qsizetype index);

// The 1-based position of the first occurrence of text in s, or 0. With
// wholeWord, an occurrence counts only when no word character touches it on
// either side. An empty text is never found.
qsizetype MatchPos(const QString& text, const QString& s, bool wholeWord);

// Whether entry holds text under the two options; without matchCase both are
// lowered as LowerAsciiLetters does.
bool EntryMatches(const QString& text, const QString& entry, bool wholeWord, bool matchCase);

// The first of the entries start, start + 1, ..., count - 1 whose text
// matches, or -1. Never wraps round.
int FindEntry(int start, int count, const std::function<QString(int)>& entryText,
              const QString& text, bool wholeWord, bool matchCase);

// Where a search of a list box starts: at the top from the start or without a
// selection, else after the selected entry (which may be past the end).
int ListBoxSearchStart(bool fromStart, int selected);

// Where a search of a list view starts: at the top from the start or without
// a selected row, else after the focused row (-1 = none), back at the top
// when that is past the last row.
int ListViewSearchStart(bool fromStart, bool anySelected, int focused, int rowCount);

// A row's text as it is searched: the caption, then a carriage return and a
// sub-item for each sub-item that has a column. cells holds the caption and
// then the sub-items; those beyond columnCount - 1 are left out.
QString RowSearchText(const std::vector<QString>& cells, int columnCount);

// "Could not find \"T\"" and the same with two carriage returns and "Start
// search over?" after it.
QString NotFoundMessage(const QString& text);
QString StartOverQuestion(const QString& text);

}  // namespace ui
