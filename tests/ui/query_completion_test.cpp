// What the query box offers at a cursor position, and where a refused query
// stopped, told in the box's own character positions.
#include "ui/query_completion.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const QStringList kClasses = {"Win32_Process", "Win32_ProcessStartup", "Win32_Service",
                              "CIM_Process"};

TEST(QueryCompletion, CandidatesByCursorPosition) {
    int asked = 0;
    const std::map<QString, QStringList> properties = {
        {"Win32_Process", {"Caption", "Handle", "HandleCount", "Name", "ProcessId"}},
        {"Win32_Service", {"Name", "State", "StartMode"}},
    };
    const ui::PropertiesOf propertiesOf = [&](const QString& cls) {
        ++asked;
        auto it = properties.find(cls);
        return it == properties.end() ? QStringList() : it->second;
    };
    struct Case {
        const char* text;
        int cursor;  // -1: at the end
        int start;
        QStringList expected;
    } cases[] = {
        // Class names after FROM, ignoring case, in the list's order.
        {"SELECT * FROM Win32_Pro", -1, 14, {"Win32_Process", "Win32_ProcessStartup"}},
        {"select * from win32_pro", -1, 14, {"Win32_Process", "Win32_ProcessStartup"}},
        {"SELECT * FROM ", -1, 14, kClasses},
        {"SELECT * FROM Win32_Process", -1, 14, {"Win32_ProcessStartup"}},
        {"SELECT * FROM Nothing", -1, 14, {}},
        // The word is the one the cursor ends, not the text's last.
        {"SELECT * FROM Win32_S WHERE Name = 'x'", 21, 14, {"Win32_Service"}},
        // ISA, AssocClass = and ResultClass =, and a meta_class query's quotes.
        {"SELECT * FROM meta_class WHERE __this ISA CIM_", -1, 42, {"CIM_Process"}},
        {"SELECT * FROM meta_class WHERE __CLASS = 'Win32_Se", -1, 42, {"Win32_Service"}},
        {"ASSOCIATORS OF {Win32_Service.Name=\"x\"} WHERE AssocClass = Win",
         -1,
         59,
         {"Win32_Process", "Win32_ProcessStartup", "Win32_Service"}},
        {"REFERENCES OF {X.Id=1} WHERE ResultClass = C", -1, 43, {"CIM_Process"}},
        // Property names of the class after FROM, wherever FROM stands.
        {"SELECT Han FROM Win32_Process", 10, 7, {"Handle", "HandleCount"}},
        {"SELECT Name, Pro FROM Win32_Process", 16, 13, {"ProcessId"}},
        {"SELECT  FROM Win32_Service", 7, 7, {"Name", "State", "StartMode"}},
        {"SELECT * FROM Win32_Service WHERE St", -1, 34, {"State", "StartMode"}},
        {"SELECT * FROM win32_service WHERE State = 'x' AND st", -1, 50, {"State", "StartMode"}},
        {"SELECT * FROM Win32_Service WHERE Name = 'a' OR (Sta", -1, 49, {"State", "StartMode"}},
        {"SELECT * FROM Win32_Service WHERE NOT N", -1, 38, {"Name"}},
        // No class after FROM, or one the list does not hold: nothing to offer.
        {"SELECT Na", -1, 7, {}},
        {"SELECT Na FROM Unknown", 9, 7, {}},
        // Keywords elsewhere, once a letter is typed.
        {"SEL", -1, 0, {"SELECT"}},
        {"SELECT * FROM Win32_Process WH", -1, 28, {"WHERE"}},
        {"SELECT * FROM Win32_Process WHERE Name = 'a' a",
         -1,
         45,
         {"AND", "ASSOCIATORS", "AssocClass"}},
        {"SELECT * FROM Win32_Process ", -1, 28, {}},
        {"select", -1, 0, {}},  // complete already
        // Nothing inside other quotes or an object path's braces.
        {"SELECT * FROM Win32_Process WHERE Name = 'Sel", -1, 42, {}},
        {"ASSOCIATORS OF {Win32_Pro", -1, 16, {}},
        {"", 0, 0, {}},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const int cursor = c.cursor < 0 ? int(text.size()) : c.cursor;
        SCOPED_TRACE(std::string(c.text) + " @" + std::to_string(cursor));
        const ui::Completion got = ui::completionsAt(text, cursor, kClasses, propertiesOf);
        EXPECT_EQ(got.start, c.start);
        EXPECT_EQ(got.candidates, c.expected) << got.candidates.join(u',').toStdString();
    }
    // Only names the class list holds are looked up.
    asked = 0;
    ui::completionsAt("SELECT x FROM Win32_Pro", 8, kClasses, propertiesOf);
    EXPECT_EQ(asked, 0);
}

TEST(QueryCompletion, AChosenNameReplacesTheWordUpToTheCursor) {
    int cursor = -1;
    EXPECT_EQ(ui::applyCompletion("SELECT * FROM win32_pro", 14, 23, "Win32_Process", &cursor),
              "SELECT * FROM Win32_Process");
    EXPECT_EQ(cursor, 27);
    EXPECT_EQ(ui::applyCompletion("SELECT Han FROM X", 7, 10, "HandleCount", &cursor),
              "SELECT HandleCount FROM X");
    EXPECT_EQ(cursor, 18);
}

TEST(QueryError, WhereTheQueryStoppedInTheBoxsCharacters) {
    struct Case {
        const char* text;
        int64_t byteOffset;
        int position;
        const char* message;
    } cases[] = {
        {"select * frm X", 9, 9, "Error: Invalid query\nexpected FROM, at column 10"},
        // "é" is two bytes in UTF-8 and one character in the box.
        {"select 'é' frm X", 12, 11, "Error: Invalid query\nexpected FROM, at column 12"},
        {"select *\n  frm X", 11, 11, "Error: Invalid query\nexpected FROM, at line 2, column 3"},
        {"frm", 0, 0, "Error: Invalid query\nexpected FROM, at column 1"},
        {"select * from", 99, 13, "Error: Invalid query\nexpected FROM, at column 14"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        const int position = ui::textPosition(text, c.byteOffset);
        EXPECT_EQ(position, c.position);
        EXPECT_EQ(ui::queryErrorText("Error: Invalid query", "expected FROM", text, position)
                      .toStdString(),
                  c.message);
    }
    EXPECT_EQ(ui::queryErrorText("Error: Invalid class", "", "x", 0), "Error: Invalid class");
}

}  // namespace
