#include "score/markup_text.h"

#include <gtest/gtest.h>

using namespace tonvela;

TEST(MarkupTextTest, EscapesExactlyTheCharactersThatBreakAFile)
{
    EXPECT_EQ(escapeMarkupText("a\"b<c>d\re\nf\tg%h"), "a%22b%3Cc%3Ed%0De%0Af%09g%25h");
    EXPECT_EQ(escapeMarkupText("plain text, 100 = ok!"), "plain text, 100 = ok!");
}

TEST(MarkupTextTest, UnescapeIsTheInverseAndLeavesOtherPercentsAlone)
{
    const std::string tricky = "50% \"quoted\" <x>\r\n\t%25 %zz %2";
    EXPECT_EQ(unescapeMarkupText(escapeMarkupText(tricky)), tricky);
    EXPECT_EQ(unescapeMarkupText("100%zz%2"), "100%zz%2");
    EXPECT_EQ(unescapeMarkupText("%41"), "%41") << "only the seven written sequences decode";
}

TEST(MarkupTextTest, ShortRealsUseTheGeneralForm)
{
    EXPECT_EQ(formatShortReal(0.9f), "0.9");
    EXPECT_EQ(formatShortReal(1.0), "1");
    EXPECT_EQ(formatShortReal(1.25), "1.25");
    EXPECT_EQ(formatShortReal(1.0 / 3.0), "0.333333");
}

TEST(MarkupTextTest, FileNamePartTakesEitherSlash)
{
    EXPECT_EQ(fileNamePart("/home/u/clips/a.mp3"), "a.mp3");
    EXPECT_EQ(fileNamePart("C:\\clips\\b.mp3"), "b.mp3");
    EXPECT_EQ(fileNamePart("c.mp3"), "c.mp3");
}
