// The rules of Find without a window: matching, start positions, row texts
// and the messages.
#include "ui/find_logic.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

namespace {

struct MatchCase {
    const char* text;
    const char* s;
    bool wholeWord;
    qsizetype pos;
};

TEST(MatchPos, FindsTheFirstAcceptedOccurrence) {
    const MatchCase cases[] = {
        {"Process", "Win32_Process", false, 7},
        {"Process", "Win32_Process", true, 7},
        {"Process", "Win32_ProcessStartup", false, 7},
        {"Process", "Win32_ProcessStartup", true, 0},
        {"Process", "ProcessStartup Process", true, 16},  // the first is rejected, the next taken
        {"Process", "Process", true, 1},
        {"Process", "(Process)", true, 2},
        {"ab", "abab ab", true, 6},
        {"aa", "aaa aa", true, 5},  // overlapping tries move on by one character
        {"32", "Win32", true, 0},   // digits are word characters
        {"Win", "Win32", true, 0},
        {"x", "a x\r", true, 3},  // a control character ends a word
        {"Straße", "die Straße.", true, 5},
        {"Stra", "Straße", true, 0},  // a letter beyond ASCII is a word character
        {"名", "名字", true, 0},
        {"名", "名 字", true, 1},
        {"", "anything", false, 0},
        {"", "anything", true, 0},
        {"", "", false, 0},
        {"x", "", false, 0},
        {"longer", "long", false, 0},
    };
    for (const MatchCase& c : cases)
        EXPECT_EQ(ui::MatchPos(QString::fromUtf8(c.text), QString::fromUtf8(c.s), c.wholeWord),
                  c.pos)
            << c.text << " in " << c.s << (c.wholeWord ? " (whole word)" : "");
}

TEST(MatchPos, ALetterOutsideTheBasicPlaneIsOneWordCharacter) {
    const QString math = QString::fromUtf8("\xF0\x9D\x90\x80");  // U+1D400, a letter
    EXPECT_EQ(ui::MatchPos(QStringLiteral("ab"), math + QStringLiteral("ab"), true), 0);
    EXPECT_EQ(ui::MatchPos(QStringLiteral("ab"), QStringLiteral("ab") + math, true), 0);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // not a letter
    EXPECT_EQ(ui::MatchPos(QStringLiteral("ab"), emoji + QStringLiteral("ab"), true), 3);
}

struct EntryCase {
    const char* text;
    const char* entry;
    bool wholeWord;
    bool matchCase;
    bool matches;
};

TEST(EntryMatches, LowersOnlyTheLettersAToZWithoutMatchCase) {
    const EntryCase cases[] = {
        {"WIN32_process", "Win32_Process", false, false, true},
        {"WIN32_process", "Win32_Process", false, true, false},
        {"Win32_Process", "Win32_Process", true, true, true},
        {"process", "Win32_ProcessStartup", true, false, false},
        {"ÉTÉ", "été", false, false, false},  // compared exactly as they are
        {"éTé", "été", false, false, true},
    };
    for (const EntryCase& c : cases)
        EXPECT_EQ(ui::EntryMatches(QString::fromUtf8(c.text), QString::fromUtf8(c.entry),
                                   c.wholeWord, c.matchCase),
                  c.matches)
            << c.text << " in " << c.entry;
}

TEST(FindEntry, SearchesFromTheStartToTheEndWithoutWrapping) {
    const QStringList entries{"alpha", "Beta", "gamma", "beta2", "Alphabet"};
    auto text = [&](int i) { return entries.at(i); };
    const int n = int(entries.size());
    EXPECT_EQ(ui::FindEntry(0, n, text, QStringLiteral("beta"), false, false), 1);
    EXPECT_EQ(ui::FindEntry(2, n, text, QStringLiteral("beta"), false, false), 3);
    EXPECT_EQ(ui::FindEntry(0, n, text, QStringLiteral("beta"), false, true), 3);
    EXPECT_EQ(ui::FindEntry(0, n, text, QStringLiteral("alpha"), true, false), 0);
    EXPECT_EQ(ui::FindEntry(1, n, text, QStringLiteral("alpha"), true, false), -1)
        << "Alphabet is no whole word alpha, and the search does not wrap";
    EXPECT_EQ(ui::FindEntry(n, n, text, QStringLiteral("a"), false, false), -1);
    EXPECT_EQ(ui::FindEntry(0, n, text, QString(), false, false), -1);
}

TEST(SearchStart, ListBoxContinuesAfterTheSelectionListViewWrapsAtTheEnd) {
    EXPECT_EQ(ui::ListBoxSearchStart(true, 3), 0);
    EXPECT_EQ(ui::ListBoxSearchStart(false, -1), 0);
    EXPECT_EQ(ui::ListBoxSearchStart(false, 3), 4);
    EXPECT_EQ(ui::ListBoxSearchStart(false, 9), 10) << "past the last entry: nothing is found";

    EXPECT_EQ(ui::ListViewSearchStart(true, true, 3, 10), 0);
    EXPECT_EQ(ui::ListViewSearchStart(false, false, 3, 10), 0) << "no selection";
    EXPECT_EQ(ui::ListViewSearchStart(false, true, 3, 10), 4);
    EXPECT_EQ(ui::ListViewSearchStart(false, true, -1, 10), 0) << "selected, no focused row";
    EXPECT_EQ(ui::ListViewSearchStart(false, true, 9, 10), 0) << "after the last row";
}

TEST(RowSearchText, JoinsTheCellsThatHaveAColumnWithCarriageReturns) {
    const std::vector<QString> cells{"cap", "one", "two", "three"};
    EXPECT_EQ(ui::RowSearchText(cells, 4), QStringLiteral("cap\rone\rtwo\rthree"));
    EXPECT_EQ(ui::RowSearchText(cells, 2), QStringLiteral("cap\rone"))
        << "sub-items beyond the columns are not searched";
    EXPECT_EQ(ui::RowSearchText(cells, 0), QStringLiteral("cap"));
    EXPECT_EQ(ui::RowSearchText({}, 3), QString());
    // A match never spans two cells: the search text cannot hold a CR.
    EXPECT_EQ(ui::MatchPos(QStringLiteral("capone"), ui::RowSearchText(cells, 4), false), 0);
    EXPECT_EQ(ui::MatchPos(QStringLiteral("two"), ui::RowSearchText(cells, 4), true), 9);
}

TEST(FindMessages, QuoteTheTextAndAskWithTwoCarriageReturns) {
    EXPECT_EQ(ui::NotFoundMessage(QStringLiteral("Proc")),
              QStringLiteral("Could not find \"Proc\""));
    EXPECT_EQ(ui::NotFoundMessage(QString()), QStringLiteral("Could not find \"\""));
    EXPECT_EQ(ui::StartOverQuestion(QStringLiteral(" a b ")),
              QStringLiteral("Could not find \" a b \"\r\rStart search over?"));
}

}  // namespace
