#include "platform/paper_locale.h"

#include <gtest/gtest.h>

namespace tonvela {
namespace {

TEST(PaperLocaleTest, LetterPaperTerritoriesAreKnownByTheirLocaleNames)
{
    for (const char* name : {"en_US.UTF-8", "en_US", "es_US.UTF-8", "fr_CA.UTF-8", "es_MX",
                             "en_PH.UTF-8@euro", "es_CL.ISO-8859-1"})
        EXPECT_TRUE(localeNameUsesLetterPaper(name)) << name;
    for (const char* name : {"en_GB.UTF-8", "de_DE", "fr_FR.UTF-8", "C", "POSIX", "C.UTF-8", "", "en", "en_",
                             "en_USA", "ja_JP.eucJP", "en_AU.UTF-8"})
        EXPECT_FALSE(localeNameUsesLetterPaper(name)) << name;
}

} // namespace
} // namespace tonvela
