// The RIFF chunk walk that the wave reader and the SoundFont loader share.
#include "audio/riff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela::audio {
namespace {

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// A chunk with its pad byte after an odd body.
std::string chunk(const std::string& id, const std::string& body, bool pad = true)
{
    std::string c = id + le32(static_cast<uint32_t>(body.size())) + body;
    if (pad && body.size() % 2)
        c.push_back('\0');
    return c;
}

std::string riff(const std::string& form, const std::string& chunks)
{
    return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + form + chunks;
}

struct Seen {
    std::string id;
    std::string listType;
    std::string parentType;
    int depth = 0;
    std::size_t offset = 0;
    std::size_t size = 0;
    bool truncated = false;
};

class RiffTest : public ::testing::Test {
  protected:
    RiffForm walk(const std::string& bytes)
    {
        seen.clear();
        return walkRiff(
            reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), [&](const RiffChunk& c) {
                seen.push_back({std::string(c.id), std::string(c.listType), std::string(c.parentType),
                                c.depth, c.offset, c.size, c.truncated});
            });
    }
    std::vector<std::string> ids() const
    {
        std::vector<std::string> out;
        for (const Seen& s : seen)
            out.push_back(s.id);
        return out;
    }
    std::vector<Seen> seen;
};

TEST_F(RiffTest, ChunksAreWalkedBySizeIntoListsWithTheirTypesAndDepths)
{
    // GIVEN an odd chunk (with its pad byte), a list inside a list, and a last chunk
    const std::string bytes = riff(
        "TEST", chunk("abc ", "xyz") +
                    chunk("LIST", "lst1" + chunk("in1 ", "12") + chunk("LIST", "lst2" + chunk("deep", ""))) +
                    chunk("last", "1234"));
    // WHEN it is walked
    const RiffForm form = walk(bytes);
    // THEN every chunk is met once, in file order, a list before its contents
    EXPECT_TRUE(form.isRiff);
    EXPECT_EQ(form.formType, "TEST");
    EXPECT_FALSE(form.sizeMismatch);
    EXPECT_EQ(ids(), (std::vector<std::string>{"abc ", "LIST", "in1 ", "LIST", "deep", "last"}));
    EXPECT_EQ(seen[0].parentType, "TEST");
    EXPECT_EQ(seen[0].size, 3u);
    EXPECT_EQ(bytes.substr(seen[0].offset, seen[0].size), "xyz");
    EXPECT_EQ(seen[1].listType, "lst1");
    EXPECT_EQ(seen[1].depth, 1);
    EXPECT_EQ(seen[2].parentType, "lst1");
    EXPECT_EQ(seen[2].depth, 2);
    EXPECT_EQ(seen[3].listType, "lst2");
    EXPECT_EQ(seen[4].parentType, "lst2");
    EXPECT_EQ(seen[4].depth, 3);
    EXPECT_EQ(seen[5].parentType, "TEST");
    EXPECT_EQ(seen[5].depth, 1);
    EXPECT_EQ(bytes.substr(seen[5].offset, seen[5].size), "1234");
    for (const Seen& s : seen)
        EXPECT_FALSE(s.truncated) << s.id;
}

TEST_F(RiffTest, WordsInsideAChunkAreNeverTakenForChunks)
{
    // A comment whose text is a well-formed chunk header: it stays text.
    const std::string text = "data" + le32(4) + "abcd";
    walk(riff("WAVE", chunk("LIST", "INFO" + chunk("ICMT", text)) + chunk("data", "real")));
    EXPECT_EQ(ids(), (std::vector<std::string>{"LIST", "ICMT", "data"}));
    EXPECT_EQ(seen[2].depth, 1);
    EXPECT_EQ(seen[2].size, 4u);
}

TEST_F(RiffTest, AChunkClaimingMoreThanItsListHoldsIsCutThereAndEndsTheList)
{
    // The inner chunk claims 1000 bytes inside a list of 12; the chunk after the list is found.
    std::string inner = "big " + le32(1000) + "1234";
    const std::string bytes = riff("TEST", chunk("LIST", "lst1" + inner) + chunk("next", "ab"));
    walk(bytes);
    ASSERT_EQ(ids(), (std::vector<std::string>{"LIST", "big ", "next"}));
    EXPECT_TRUE(seen[1].truncated);
    EXPECT_EQ(seen[1].size, 4u);
    EXPECT_FALSE(seen[2].truncated);

    // At the end of the file: cut at the last byte.
    const std::string cut = riff("TEST", chunk("data", "abcdef")).substr(0, 12 + 8 + 3);
    walk(cut);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].truncated);
    EXPECT_EQ(seen[0].offset + seen[0].size, cut.size());
}

TEST_F(RiffTest, AnOddChunkWithoutItsPadByteStillLeadsToTheNextChunk)
{
    walk(riff("TEST", chunk("odd ", "abc", false) + chunk("next", "ab")));
    EXPECT_EQ(ids(), (std::vector<std::string>{"odd ", "next"}));
    walk(riff("TEST", chunk("odd ", "abc", true) + chunk("next", "ab")));
    EXPECT_EQ(ids(), (std::vector<std::string>{"odd ", "next"}));
}

TEST_F(RiffTest, AWrongRiffSizeIsReportedAndTheWalkStillReachesTheEnd)
{
    std::string bytes = riff("TEST", chunk("one ", "12") + chunk("two ", "34"));
    bytes.replace(4, 4, le32(10)); // says the form ends inside the first chunk
    const RiffForm form = walk(bytes);
    EXPECT_TRUE(form.sizeMismatch);
    EXPECT_EQ(ids(), (std::vector<std::string>{"one ", "two "}));
}

TEST_F(RiffTest, BytesThatAreNoRiffFileAreNotWalked)
{
    EXPECT_FALSE(walk("").isRiff);
    EXPECT_FALSE(walk(std::string("RIFF\x04\0\0\0", 8)).isRiff);
    EXPECT_FALSE(walk("RIFX" + le32(4) + "WAVE").isRiff);
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(walkRiff(nullptr, 100, [](const RiffChunk&) {}).isRiff);
}

TEST_F(RiffTest, ArbitraryBytesNeverYieldAChunkOutsideThem)
{
    uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = "RIFF" + le32(state) + "TEST";
        const std::size_t length = 8 + (state >> 8) % 200;
        for (std::size_t i = 0; i < length; ++i) {
            state = state * 1664525u + 1013904223u;
            // Mostly small sizes and list headers, so that lists nest and sizes run over.
            const char* pieces[] = {"LIST", "abcd", "\x02\0\0\0", "\xff\xff\xff\x7f"};
            bytes += (state >> 28) < 4 ? std::string(pieces[(state >> 28) % 4], 4)
                                       : std::string(1, char(state >> 16));
        }
        walk(bytes);
        for (const Seen& s : seen) {
            ASSERT_LE(s.offset, bytes.size());
            ASSERT_LE(s.size, bytes.size() - s.offset);
            ASSERT_LE(s.depth, 16);
        }
    }
}

} // namespace
} // namespace tonvela::audio
