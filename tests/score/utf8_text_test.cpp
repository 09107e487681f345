#include "score/utf8_text.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf8TextTest, ValidTextStaysAndEveryByteThatBeginsNoCharacterBecomesTheReplacementCharacter)
{
    EXPECT_EQ(validUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E"),
              "plain \xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E");
    EXPECT_EQ(validUtf8("a\xFF"
                        "b"),
              "a" + kFffd + "b");
    EXPECT_EQ(validUtf8("\xC0\xAF"), kFffd + kFffd) << "an overlong slash";
    EXPECT_EQ(validUtf8("\xED\xA0\x80"), kFffd + kFffd + kFffd) << "a surrogate";
    EXPECT_EQ(validUtf8("\xF4\x90\x80\x80"), kFffd + kFffd + kFffd + kFffd) << "beyond U+10FFFF";
    EXPECT_EQ(validUtf8("caf\xC3"), "caf" + kFffd);
    EXPECT_EQ(validUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8TextTest, ACutNeverEndsInsideACharacter)
{
    EXPECT_EQ(cutUtf8("ab\xC3\xA9", 3), "ab");
    EXPECT_EQ(cutUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(cutUtf8("\xE2\x82\xAC\xE2\x82\xAC", 5), "\xE2\x82\xAC");
    EXPECT_EQ(cutUtf8("\xF0\x9D\x84\x9E", 3), "");
    EXPECT_EQ(cutUtf8("short", 127), "short");
}

} // namespace
} // namespace tonvela
