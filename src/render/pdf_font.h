#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tonvela {

class PdfDocument;

// One text face embedded in a PDF we write ourselves: the sheet's sans-serif (Arial, or
// Liberation Sans, its metric twin, where Arial is not installed), regular or bold. Text is
// written as glyph numbers (a Type 0 font, Identity-H), and only the glyphs a document used are
// embedded (a TrueType subset that keeps the glyph numbers), with a ToUnicode map so the text
// can be searched and copied from the PDF.
//
// Thread rules: used by one thread at a time.
class PdfFont {
  public:
    // The face found through fontconfig; null with `error` set when no TrueType file of it can
    // be read.
    static std::unique_ptr<PdfFont> load(bool bold, std::string& error);
    ~PdfFont();
    PdfFont(const PdfFont&) = delete;
    PdfFont& operator=(const PdfFont&) = delete;

    // The glyph numbers of UTF-8 text, one a character (no ligatures, no kerning), each marked
    // as used. False, with nothing marked, when a character has no glyph in this face (the
    // caller then draws the text some other way); text that is not valid UTF-8 is read as
    // Latin-1.
    bool glyphs(std::string_view utf8, std::vector<uint16_t>& out);
    // Advance width of a glyph, in ems.
    double advance(uint16_t glyph) const;
    // Distance from the baseline to the top and (positive) to the bottom of a line, in ems, as
    // the face's horizontal header gives them.
    double ascent() const;
    double descent() const;
    // The face's PostScript name, such as "LiberationSans-Bold".
    const std::string& postScriptName() const;

    // Writes the font into `doc` under the reserved object number `fontObject`: the Type 0
    // font, its CID font with the widths of the used glyphs, the descriptor, the subset font
    // file and the ToUnicode map. False with `error` set when the subset cannot be made.
    bool write(PdfDocument& doc, int fontObject, std::string& error) const;

  private:
    struct Impl;
    explicit PdfFont(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace tonvela
