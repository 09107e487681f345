#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tonvela {

// One element of the system's own tag markup: the name of the token that opened it, the last
// bare word read inside it, its attributes in file order (duplicates kept) and its children.
class MarkupElement {
  public:
    MarkupElement() = default;
    MarkupElement(MarkupElement&&) = default;
    MarkupElement& operator=(MarkupElement&&) = default;
    // Frees the subtree without recursion, so a deeply nested file cannot exhaust the stack.
    ~MarkupElement();

    std::string name;
    std::string text;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<MarkupElement>> children;
    // Whether the element's closing tag was read; false for one cut off by the end of the input.
    bool closed = false;

    // First attribute whose name matches exactly (case-sensitive), or null.
    const std::string* findAttribute(std::string_view attributeName) const;
};

// The element tree of a sheet or chord document file. Not a general markup parser: it knows
// tags, attributes and bare words, splits on CR, LF, TAB, blank, '<' and '>', and has no
// escapes, comments or self-closing tags. Unclosed elements end at the end of the input.
class MarkupTree {
  public:
    MarkupElement root;

    // False when the input ended before the root's closing tag: a file cut off before its end.
    bool complete() const { return root.closed; }
};

// Largest file the readers accept; a sheet of 15 full tracks is a few megabytes.
inline constexpr std::size_t kMaxMarkupFileBytes = 64u * 1024u * 1024u;

// Parses markup text (CR LF pairs read as LF).
MarkupTree parseMarkup(std::string_view content);

// Reads a file into a tree. A file that cannot be opened gives an empty tree (root named by
// an empty text); `error`, when given, then receives the reason.
MarkupTree loadMarkupFile(const std::string& path, std::string* error = nullptr);

// The text of the first token only: "staffdoc" for a sheet, "chorddoc" for a chord document.
// Blank lines and spaces before it, however many, are passed over.
std::string peekFirstTokenOfText(std::string_view content);
std::string peekFirstToken(const std::string& path);

// Attribute lookups of the document readers.
// No match gives the default; an empty value gives 0; otherwise a decimal integer read with
// leading blanks and a sign accepted, stopping at the first non-digit (no digits give 0).
int intAttribute(const MarkupElement& element, std::string_view name, int defaultValue);
// No match gives the default; an empty value gives a single blank.
std::string stringAttribute(const MarkupElement& element, std::string_view name,
                            const std::string& defaultValue);
// The first character of what stringAttribute returns.
char charAttribute(const MarkupElement& element, std::string_view name, char defaultValue);
// A value of 1 to 128 characters read as a decimal real number; otherwise the default.
float floatValue(std::string_view value, float defaultValue);

// Decimal reading used by the lookups: saturates at the int range instead of overflowing.
int readDecimalInt(std::string_view value);

} // namespace tonvela
