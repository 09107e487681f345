#pragma once

#include "drawing/canvas.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

class QFont;

namespace tonvela {

class PdfDocument;
class PdfFont;

// What the pages of one PDF document share: a drawing of each glyph at each scale (a form that
// a page places with one operator), the two text faces and the pictures, and the one resource
// dictionary that names them all. Glyph drawings and pictures are written when first used,
// the text faces once the last page is done, so they hold only the glyphs the text used.
//
// Thread rules: used by one thread at a time, with its document.
class PdfResources {
  public:
    explicit PdfResources(PdfDocument& doc);
    ~PdfResources();
    PdfResources(const PdfResources&) = delete;
    PdfResources& operator=(const PdfResources&) = delete;

    // The object number of the resource dictionary every page names.
    int dictionaryObject() const { return m_dictionary; }

    // The name of the form drawing `glyph` at `scale` (its box's top-left corner at the
    // origin, filled with the current colour); empty for a glyph with no shape.
    const std::string& glyphForm(int glyph, double scale);
    // The face for text, or null where none can be embedded (text is then drawn as outlines).
    PdfFont* font(bool bold);
    // The resource name of a face `font` returned.
    std::string_view fontName(bool bold) const { return bold ? "F2" : "F1"; }
    // A picture of RGB rows (three bytes a pixel, no padding), written at once; its name.
    std::string image(int width, int height, const std::string& rgb);

    // Writes the text faces and the resource dictionary. False with `error` when a face could
    // not be written.
    bool finish(std::string& error);

  private:
    PdfDocument& m_doc;
    int m_dictionary;
    std::map<std::pair<int, double>, std::string> m_glyphNames;
    std::map<std::string, int> m_xobjects; // resource name -> object
    std::unique_ptr<PdfFont> m_fonts[2];
    bool m_fontTried[2] = {false, false};
    int m_fontObjects[2] = {0, 0};
    int m_images = 0;
};

// A Canvas that writes the drawing operators of one PDF page, in device units with y
// downwards (the printer puts the page's transform in front). It draws what the Qt canvas
// draws on a page: strokes at the pen's width, upright filled rectangles on whole units,
// glyphs from their shared forms, text in the embedded face (or as outlines where the face
// lacks a character).
//
// Thread rules: used by one thread at a time, with its resources.
class PdfCanvas : public Canvas {
  public:
    PdfCanvas(PdfResources& resources, int width, int height);

    // Starts a new page: forgets the operators so far and the graphics state.
    void reset();
    // The page's operators so far, pending lines included.
    const std::string& content();

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    void setPen(const Pen& pen) override;
    void setBrush(Color color) override;
    void setNoBrush() override;
    void setFont(const Font& font) override;
    void setTextColor(Color color) override;
    void drawLine(int x1, int y1, int x2, int y2) override;
    void drawRect(int left, int top, int right, int bottom) override;
    void fillRect(int left, int top, int right, int bottom, Color color) override;
    void fillPolygon(std::span<const PointF> points, Color color) override;
    void drawEllipse(int left, int top, int right, int bottom) override;
    void drawArc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd,
                 int yEnd) override;
    void drawText(int x, int y, std::string_view text) override;
    void drawTextInRect(int left, int top, int right, int bottom, std::string_view text) override;
    void drawTextCentred(int left, int top, int right, int bottom, std::string_view text) override;
    void drawGlyph(int glyph, int x, int y, double scale, GlyphColor color) override;
    void drawPicture(const Picture& picture, int x, int y, int width, int height) override;

  private:
    struct State {
        Color fill = kBlack;
        Color stroke = kBlack;
        double lineWidth = 1;
        bool dotted = false;
    };
    void flushLines();
    void useFill(Color c);
    void useStroke(double width, bool dotted, Color c);
    void num(double v);
    void point(double x, double y);
    // Text with its baseline starting at (x, baseline), clipped to `clip` when given.
    void text(double x, double baseline, std::string_view text);
    double textWidth(std::string_view text);
    double ascent();
    double descent();
    void ellipsePath(double left, double top, double right, double bottom);

    PdfResources& m_res;
    int m_width;
    int m_height;
    std::string m_out;
    State m_state; // as the page has it now
    Pen m_pen;
    bool m_brush = false;
    Color m_brushColor = kBlack;
    Font m_font;
    Color m_textColor = kBlack;
    // Consecutive lines of one pen are written as one path and stroked together.
    bool m_linesOpen = false;
    double m_linesWidth = 1;
};

} // namespace tonvela
