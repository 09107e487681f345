#include "platform/notifier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonvela {
namespace {

TEST(NotifierTest, CollectingNotifierKeepsWarningsApartFromErrorsAndQuestions)
{
    CollectingNotifier notifier;
    Notifier& any = notifier;
    any.error("Could not open x.shd: gone");
    any.warning("Some of x.shd was left out:\n1 tracks beyond the limit of 64 were not loaded");
    notifier.answers = {Notifier::Answer::No};
    EXPECT_EQ(any.question("Save file x.shd?", "Save"), Notifier::Answer::No);
    EXPECT_EQ(any.question("Save file y.shd?", "Save"), Notifier::Answer::Cancel) << "the fallback";

    ASSERT_EQ(notifier.messages.size(), 3u);
    EXPECT_EQ(notifier.messages[0].caption, "Error");
    EXPECT_FALSE(notifier.messages[0].isQuestion);
    EXPECT_TRUE(notifier.messages[1].isQuestion);
    ASSERT_EQ(notifier.warnings.size(), 1u);
    EXPECT_EQ(notifier.warnings[0].caption, "Warning");
    EXPECT_EQ(notifier.warnings[0].text.rfind("Some of x.shd was left out:", 0), 0u);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos)
            return lines;
        start = nl + 1;
    }
}

// Characters, not bytes: UTF-8 continuation bytes do not count.
std::size_t charactersOf(const std::string& line)
{
    std::size_t n = 0;
    for (const char c : line)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

TEST(BoundedMessageTest, AShortMessageIsShownAsItIs)
{
    const std::string text = "Some of x.shd was left out:\n1 tracks beyond the limit of 64 were not loaded";
    EXPECT_EQ(boundedMessage(text), text);
}

TEST(BoundedMessageTest, ALongLineIsWrappedBetweenWordsAndNothingIsLostWithinTheLimit)
{
    std::string line = "Left out, as the sheet cannot hold them:";
    for (int i = 0; i < 40; ++i)
        line += " kind number " + std::to_string(i) + " (" + std::to_string(i * 7) + "),";
    const std::string bounded = boundedMessage(line);
    const std::vector<std::string> lines = linesOf(bounded);
    EXPECT_GT(lines.size(), 1u);
    EXPECT_LE(lines.size(), static_cast<std::size_t>(kMaxMessageLines));
    std::string joined;
    for (const std::string& l : lines) {
        EXPECT_LE(charactersOf(l), static_cast<std::size_t>(kMaxMessageLineCharacters)) << l;
        EXPECT_NE(l.front(), ' ');
        joined += (joined.empty() ? "" : " ") + l;
    }
    EXPECT_EQ(joined, line);
}

TEST(BoundedMessageTest, AHugeMessageKeepsFortyLinesOfTwoHundredCharactersAndSaysHowMuchMore)
{
    // 25 MB in one line without a blank, and 100 000 short lines after it.
    std::string text;
    for (int i = 0; i < 25 * 1024 * 1024 / 2; ++i)
        text += "\xC3\xA9"; // "é": two bytes, one character
    for (int i = 0; i < 100000; ++i)
        text += "\nline " + std::to_string(i);
    const std::string bounded = boundedMessage(text);
    const std::vector<std::string> lines = linesOf(bounded);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kMaxMessageLines));
    for (const std::string& l : lines) {
        EXPECT_LE(charactersOf(l), static_cast<std::size_t>(kMaxMessageLineCharacters));
        EXPECT_NE(static_cast<unsigned char>(l.back()), 0xC3) << "never a character cut in half";
    }
    EXPECT_EQ(lines[0], text.substr(0, 2 * kMaxMessageLineCharacters));
    EXPECT_EQ(lines.back().rfind("... and ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find(" more lines"), std::string::npos) << lines.back();
    EXPECT_LT(bounded.size(), 20000u);
}

TEST(BoundedMessageTest, TheCommandLineNotifierPrintsTheBoundedText)
{
    ::testing::internal::CaptureStderr();
    StderrNotifier notifier;
    notifier.warning(std::string(100000, 'x'), "Warning");
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Warning: " + boundedMessage(std::string(100000, 'x')) + "\n");
}

} // namespace
} // namespace tonvela
