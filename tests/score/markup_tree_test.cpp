#include "score/markup_tree.h"

#include <gtest/gtest.h>

using namespace tonvela;

namespace {

const MarkupElement& only(const MarkupElement& e)
{
    EXPECT_EQ(e.children.size(), 1u);
    return *e.children.at(0);
}

} // namespace

TEST(MarkupTreeTest, SeparatorsNeverBecomePartOfTokens)
{
    const MarkupTree t = parseMarkup("<doc>\r\n<note midi=60 >\r\n</note>\r\n</doc>\r\n");
    EXPECT_EQ(t.root.name, "doc");
    const MarkupElement& note = only(t.root);
    EXPECT_EQ(note.name, "note");
    ASSERT_EQ(note.attributes.size(), 1u);
    EXPECT_EQ(note.attributes[0].first, "midi");
    EXPECT_EQ(note.attributes[0].second, "60");
}

TEST(MarkupTreeTest, QuotedValuesKeepBlanksAndLoseTheirQuotes)
{
    const MarkupTree t = parseMarkup("<doc>\n<chord label=\"C major\" startfret=3 >\n</chord>\n</doc>\n");
    const MarkupElement& chord = only(t.root);
    EXPECT_EQ(stringAttribute(chord, "label", "x"), "C major");
    EXPECT_EQ(intAttribute(chord, "startfret", 0), 3);
}

TEST(MarkupTreeTest, QuotedValueRunningIntoTheNextAttributeIsOneAttribute)
{
    const MarkupTree t =
        parseMarkup("<doc>\n<note filename=\"a b.mp3\"lyrictext=\"la\" >\n</note>\n</doc>\n");
    const MarkupElement& note = only(t.root);
    ASSERT_EQ(note.attributes.size(), 1u);
    EXPECT_EQ(note.attributes[0].first, "filename");
    EXPECT_EQ(note.attributes[0].second, "a b.mp3\"lyrictext=\"la");
    EXPECT_EQ(note.findAttribute("lyrictext"), nullptr);
}

TEST(MarkupTreeTest, OnlyTheFirstCharacterOfATokenIsLowerCased)
{
    const MarkupTree t = parseMarkup("<doc>\n<note Midi=61 DwFlag=4 >\n</note>\n</doc>\n");
    const MarkupElement& note = only(t.root);
    EXPECT_EQ(intAttribute(note, "midi", 0), 61);
    EXPECT_EQ(intAttribute(note, "dwFlag", 0), 4);
    EXPECT_EQ(intAttribute(note, "DwFlag", 0), 0) << "lookups are case-sensitive";
}

TEST(MarkupTreeTest, CapitalisedClosingTagNeverClosesItsElement)
{
    const MarkupTree t = parseMarkup("<doc>\n<Note>\n</Note>\n<after>\n</after>\n</doc>\n");
    // "note" was opened; "</Note>" does not match "/note": it is read as one more tag, and
    // everything after it lands inside.
    const MarkupElement& note = only(t.root);
    EXPECT_EQ(note.name, "note");
    ASSERT_EQ(note.children.size(), 1u);
    EXPECT_EQ(note.children[0]->name, "/Note");
    ASSERT_EQ(note.children[0]->children.size(), 2u);
    EXPECT_EQ(note.children[0]->children[0]->name, "after");
}

TEST(MarkupTreeTest, SelfClosingFormSwallowsTheRestOfTheFile)
{
    const MarkupTree t = parseMarkup("<doc>\n<a/>\n<b>\n</b>\n</doc>\n");
    const MarkupElement& a = only(t.root);
    EXPECT_EQ(a.name, "a/");
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(a.children[0]->name, "b");
    EXPECT_EQ(a.children[1]->name, "/doc") << "the root's closing tag is swallowed too";
}

TEST(MarkupTreeTest, TextIsTheLastBareWord)
{
    const MarkupTree t = parseMarkup("<doc>\n<w>\nfirst second\n</w>\n</doc>\n");
    EXPECT_EQ(only(t.root).text, "second");
}

TEST(MarkupTreeTest, RootClosesWithoutTrailingLineEndOrBracket)
{
    for (const char* text : {"<doc>\n<a>\n</a>\n</doc>", "<doc>\n<a>\n</a>\n</doc"}) {
        const MarkupTree t = parseMarkup(text);
        EXPECT_EQ(t.root.name, "doc") << text;
        EXPECT_EQ(t.root.children.size(), 1u) << text;
    }
}

TEST(MarkupTreeTest, TokenRunningIntoTheEndOfInputIsDropped)
{
    const MarkupTree t = parseMarkup("<doc\nx=1 y=2");
    ASSERT_EQ(t.root.attributes.size(), 1u);
    EXPECT_EQ(t.root.attributes[0].first, "x");
}

TEST(MarkupTreeTest, EmptyValuesReadAsZeroAndBlank)
{
    const MarkupTree t = parseMarkup("<doc\nx= >\n</doc>\n");
    EXPECT_EQ(intAttribute(t.root, "x", 7), 0);
    EXPECT_EQ(stringAttribute(t.root, "x", "d"), " ");
    EXPECT_EQ(charAttribute(t.root, "x", 'd'), ' ');
    EXPECT_EQ(intAttribute(t.root, "missing", 7), 7);
    EXPECT_EQ(stringAttribute(t.root, "missing", "d"), "d");
}

TEST(MarkupTreeTest, DuplicateAttributesStayAndTheFirstWins)
{
    const MarkupTree t = parseMarkup("<doc\na=1 a=2 >\n</doc>\n");
    EXPECT_EQ(t.root.attributes.size(), 2u);
    EXPECT_EQ(intAttribute(t.root, "a", 0), 1);
}

TEST(MarkupTreeTest, DecimalReadingFollowsTheCRules)
{
    EXPECT_EQ(readDecimalInt("  -42abc"), -42);
    EXPECT_EQ(readDecimalInt("+7"), 7);
    EXPECT_EQ(readDecimalInt("abc"), 0);
    EXPECT_EQ(readDecimalInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(readDecimalInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(MarkupTreeTest, FloatValuesFallBackOnTheDefault)
{
    EXPECT_FLOAT_EQ(floatValue("1.25", 9.0f), 1.25f);
    EXPECT_FLOAT_EQ(floatValue("2e-1x", 9.0f), 0.2f);
    EXPECT_FLOAT_EQ(floatValue("abc", 9.0f), 9.0f);
    EXPECT_FLOAT_EQ(floatValue("", 9.0f), 9.0f);
    EXPECT_FLOAT_EQ(floatValue(std::string(129, '1'), 9.0f), 9.0f);
}

TEST(MarkupTreeTest, DeepNestingDoesNotExhaustTheStack)
{
    std::string text = "<doc>\n";
    for (int i = 0; i < 200000; ++i)
        text += "<a>\n";
    text += "end\n";
    const MarkupTree t = parseMarkup(text);
    const MarkupElement* e = &t.root;
    int depth = 0;
    while (!e->children.empty()) {
        e = e->children[0].get();
        ++depth;
    }
    EXPECT_EQ(depth, 200000);
}

TEST(MarkupTreeTest, FirstTokenTellsSheetsFromChordDocuments)
{
    EXPECT_EQ(peekFirstTokenOfText("<staffdoc\r\nzoomamount=1\r\n"), "staffdoc");
    EXPECT_EQ(peekFirstTokenOfText("\n\n<ChordDoc>"), "chordDoc");
    EXPECT_EQ(peekFirstTokenOfText(""), "");
}

TEST(MarkupTreeTest, MissingFileGivesAnEmptyTreeAndAReason)
{
    std::string error;
    const MarkupTree t = loadMarkupFile("/nonexistent/dir/file.shd", &error);
    EXPECT_TRUE(t.root.name.empty());
    EXPECT_TRUE(t.root.children.empty());
    EXPECT_NE(error.find("Could not open"), std::string::npos);
}
