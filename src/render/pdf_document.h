#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

// A PDF file put together object by object in memory: numbered objects, streams compressed
// with Flate, the cross-reference table and trailer. The printer fills it page by page and
// writes the finished bytes in one go, so a failed print never leaves half a file behind.
//
// Object numbers are reserved first and filled later, in any order, so a page can name its
// fonts and glyph drawings before they are written. Every reserved number must be filled
// before `finish`.
//
// Thread rules: used by one thread at a time.
class PdfDocument {
  public:
    PdfDocument();

    // A new object number, to be filled by addObject or addStream.
    int reserve();
    // The object's body, such as "<< /Type /Page ... >>" or "[1 2 3]".
    void addObject(int number, std::string_view body);
    // A stream object: `dictionary` holds the entries without the brackets and without
    // /Length and /Filter, which are added here. The data is compressed with Flate unless it
    // is shorter than a few bytes or `compress` is false.
    void addStream(int number, std::string_view dictionary, std::string_view data, bool compress = true);

    // The whole file, with `root` as the catalogue and `info` (0 for none) as the document
    // information. Empty when a reserved object was never filled.
    std::string finish(int root, int info) const;

    // Bytes written into objects so far.
    std::size_t size() const { return m_body.size(); }

  private:
    std::string m_body;                 // everything after the header, object after object
    std::vector<std::size_t> m_offsets; // per object number (1-based, [0] unused); npos when unfilled
};

// A PDF string literal in brackets, with backslashes, brackets and bytes outside printable
// ASCII escaped, for names in the document information and the like.
std::string pdfLiteral(std::string_view text);
// A number as PDF writes it: whole numbers without a point, others with at most `decimals`
// places and no trailing zeros.
void appendPdfNumber(std::string& out, double value, int decimals = 2);

} // namespace tonvela
