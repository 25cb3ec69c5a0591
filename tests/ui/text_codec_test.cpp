#include "ui/text_codec.h"

#include <gtest/gtest.h>

namespace {

TEST(FromCodePage, DecodesEachCodePageItsOwnWay) {
    struct Case {
        const char* bytes;
        int codePage;
        const char16_t* text;
    } cases[] = {
        {"plain", 1250, u"plain"},
        {"\x8A\x9E\xEC", 1250, u"\u0160\u017E\u011B"},  // Šžě in windows-1250
        {"\x8A\x9E", 1252, u"\u0160\u017E"},            // the same letters in windows-1252
        {"\xC2\xE0\xF1\xFF", 1251, u"\u0412\u0430\u0441\u044F"},  // Cyrillic
        {"\xC5\xA0\xC5\xBE", 65001, u"\u0160\u017E"},             // UTF-8
        {"", 1250, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ui::fromCodePage(c.bytes, c.codePage), QString::fromUtf16(c.text))
            << c.bytes << " in " << c.codePage;
}

TEST(FromCodePage, CodePagesWithoutAConverterStillShowEveryByte) {
    const QString text = ui::fromCodePage("a\xE9z", 4711);
    EXPECT_EQ(text.size(), 3);
    EXPECT_EQ(text.front(), QLatin1Char('a'));
    EXPECT_EQ(text.back(), QLatin1Char('z'));
}

TEST(SystemConversion, RoundTripsUtf8) {
    const std::string bytes = "Žluťoučký kůň";
    EXPECT_EQ(ui::toSystem(ui::fromSystem(bytes)), bytes);
}

}  // namespace
