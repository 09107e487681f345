#include "platform/notifier.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tonvela
