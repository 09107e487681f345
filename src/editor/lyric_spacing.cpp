#include "editor/lyric_spacing.h"

#include "editor/chord_symbol_marks.h"
#include "editor/sheet_drawing.h"
#include "score/measure_division.h"
#include "score/note.h"
#include "score/track.h"

#include <algorithm>
#include <cmath>

namespace tonvela {
namespace {

// Advance widths of Arial Bold for the characters 32 to 126, thousandths of an em, rounded up.
constexpr int kBoldAdvance[95] = {
    278, 333, 475, 557, 557, 890, 723, 238, 333, 333, 390, 584, 278, 333, 278, 278, // space../
    557, 557, 557, 557, 557, 557, 557, 557, 557, 557, 333, 333, 584, 584, 584, 611, // 0..?
    976, 723, 723, 723, 723, 667, 611, 778, 723, 278, 557, 723, 611, 833, 723, 778, // @..O
    667, 778, 723, 667, 611, 723, 667, 944, 667, 667, 611, 333, 278, 333, 584, 557, // P.._
    333, 557, 611, 557, 611, 557, 333, 611, 611, 278, 278, 557, 278, 890, 611, 611, // `..o
    611, 611, 390, 557, 333, 611, 557, 778, 557, 557, 500, 390, 280, 390, 584,      // p..~
};
// Any other character is given a full em: wider than every accented Latin letter, dash and
// ellipsis of the font, and as wide as the ideographs a fallback font draws.
constexpr int kOtherAdvance = 1000;
constexpr int kTabAdvance = 278; // drawn as a space

// Sum of the advances of the characters of `text`, thousandths of an em. Valid UTF-8
// sequences count once; a byte that is not part of one counts as a character of its own, as
// the canvas then reads the text as Latin-1.
long long advanceSum(std::string_view text)
{
    long long sum = 0;
    int pending = 0; // continuation bytes still expected by the sequence being read
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (pending > 0 && (b & 0xC0) == 0x80) {
            --pending;
            continue;
        }
        pending = 0;
        if (b >= 32 && b < 127)
            sum += kBoldAdvance[b - 32];
        else if (b == '\t')
            sum += kTabAdvance;
        else if (b >= 0x80) {
            sum += kOtherAdvance;
            if ((b & 0xE0) == 0xC0)
                pending = 1;
            else if ((b & 0xF0) == 0xE0)
                pending = 2;
            else if ((b & 0xF8) == 0xF0)
                pending = 3;
        }
    }
    return sum;
}

// The pixel size of the em the canvas sets for a font of this cell height.
double emPixels(const Font& font)
{
    return std::max(1.0, std::round(font.height * kFontEmPerCell));
}

// The widest lyric of a chord root and its members (all drawn at the root's x), or none.
std::string_view widestLyric(const Track& t, int root, int n)
{
    std::string_view widest;
    long long widestSum = -1;
    auto consider = [&](const Note& note) {
        const auto& text = note.lyrictext();
        if (!text || text->empty())
            return;
        const long long sum = advanceSum(*text);
        if (sum > widestSum) {
            widestSum = sum;
            widest = *text;
        }
    };
    const Note& r = t.noteAt(root);
    consider(r);
    const int members = std::min<int>(r.childCount, kMaxChordMembers);
    for (int k = 0; k < members; ++k) {
        const int c = r.children[k];
        if (c >= 0 && c < n && c != root)
            consider(t.noteAt(c));
    }
    return widest;
}

} // namespace

Font lyricFont(float zoom)
{
    const DrawTools tools = DrawTools::forZoom(zoom);
    return zoom >= 0.8f ? tools.mediumBold : tools.smallBold;
}

int lyricTextWidth(std::string_view text, const Font& font)
{
    if (text.empty())
        return 0;
    const double width = static_cast<double>(advanceSum(text)) * emPixels(font) / 1000.0;
    // One pixel more for the antialiased edge of the last letter.
    return static_cast<int>(std::ceil(width)) + 1;
}

int lyricLineHeight(const Font& font)
{
    // Arial's ascent and descent together are 1.117 em; accents on capitals stay inside it.
    return static_cast<int>(std::ceil(emPixels(font) * 1.118)) + 2;
}

int lyricRoom(std::string_view text, float zoom)
{
    const float z = std::max(zoom, 0.01f);
    const int device = lyricTextWidth(text, lyricFont(z));
    // Device x positions are truncated sheet positions: a syllable may start up to a pixel
    // later than its note, the next one up to a pixel earlier.
    return static_cast<int>(std::ceil(static_cast<double>(device + 1) / z)) + kLyricGap;
}

bool lyricNeeds(const Track& t, int laid, float zoom, std::vector<int>& needs)
{
    const int n = std::max(0, std::min(laid, t.count));
    needs.assign(static_cast<std::size_t>(n), 0);
    bool any = false;
    for (int i = 0; i < n; ++i) {
        if (t.rootOf(i, n) != -1 || t.noteAt(i).type == kTypeStaffBreak)
            continue;
        const std::string_view lyric = widestLyric(t, i, n);
        // A chord symbol above the root asks for its room the same way.
        const auto& symbol = t.noteAt(i).chordSymbol();
        const int chordRoom = symbol ? chordSymbolRoom(*symbol, std::max(zoom, 0.01f)) : 0;
        if (lyric.empty() && chordRoom == 0)
            continue;
        needs[static_cast<std::size_t>(i)] = std::max(lyric.empty() ? 0 : lyricRoom(lyric, zoom), chordRoom);
        any = true;
    }
    return any;
}

void raiseLyricSpans(const Track& t, const MeasureDivision& division, int laid, const std::vector<int>& needs,
                     int plainSpan, std::vector<int>& spans)
{
    const int measures = division.measureCount();
    if (static_cast<int>(spans.size()) < measures + 1)
        spans.resize(static_cast<std::size_t>(measures) + 1, 0);
    const int n = std::min({laid, division.noteCount(), static_cast<int>(needs.size())});
    for (int m = 1; m <= measures; ++m) {
        const int first = division.firstNote(m);
        if (first < 0 || first >= n)
            break;
        const int end = m < measures ? std::min(division.firstNote(m + 1), n) : n;
        long long kinds = 0;
        bool needy = false;
        for (int i = first; i < end; ++i) {
            if (t.rootOf(i, n) != -1 || t.noteAt(i).type == kTypeStaffBreak)
                continue;
            kinds += kindWidthOf(t.noteAt(i).type);
            needy = needy || needs[static_cast<std::size_t>(i)] > 0;
        }
        if (!needy)
            continue;
        const double plain =
            kinds > 0 ? static_cast<double>(std::max(plainSpan, 0)) / static_cast<double>(kinds) : 0;
        double extra = 0;
        for (int i = first; i < end; ++i) {
            if (t.rootOf(i, n) != -1 || t.noteAt(i).type == kTypeStaffBreak)
                continue;
            extra +=
                std::max(0.0, needs[static_cast<std::size_t>(i)] - kindWidthOf(t.noteAt(i).type) * plain);
        }
        int& out = spans[static_cast<std::size_t>(m)];
        out = std::max(out, static_cast<int>(std::ceil(extra)));
    }
}

bool justifyAroundLyrics(const Track& t, std::vector<NoteLayout>& places, int from, int to, int w,
                         const std::vector<int>& needs)
{
    const int n = std::min(to, static_cast<int>(needs.size()));
    if (from < 0 || from >= n)
        return false;
    long long needSum = 0;
    long long freeKinds = 0; // kinds of the roots without a need
    bool needy = false;
    for (int i = from; i < n; ++i) {
        const Note& note = t.noteAt(i);
        if (note.chordparent != -1 || note.type == kTypeStaffBreak)
            continue;
        const int need = needs[static_cast<std::size_t>(i)];
        needy = needy || need > 0;
        needSum += need;
        if (need == 0)
            freeKinds += kindWidthOf(note.type);
    }
    if (!needy || needSum + freeKinds / 10 > w)
        return false;
    // Where plain justification already gives every syllable its room, it stands as it is.
    long long kinds = 0;
    for (int i = from; i < n; ++i) {
        const Note& note = t.noteAt(i);
        if (note.chordparent == -1 && note.type != kTypeStaffBreak)
            kinds += kindWidthOf(note.type);
    }
    if (kinds > 0) {
        const double plain = static_cast<double>(w) / static_cast<double>(kinds);
        bool enough = true;
        for (int i = from; i < n && enough; ++i) {
            const Note& note = t.noteAt(i);
            if (note.chordparent == -1 && note.type != kTypeStaffBreak)
                enough =
                    static_cast<int>(kindWidthOf(note.type) * plain) >= needs[static_cast<std::size_t>(i)];
        }
        if (enough)
            return false;
    }
    // The factor f for which the roots' widths max(need, kind x f) add up to w: the sum grows
    // with f, so halving the interval finds it.
    auto total = [&](double f) {
        double sum = 0;
        for (int i = from; i < n; ++i) {
            const Note& note = t.noteAt(i);
            if (note.chordparent != -1 || note.type == kTypeStaffBreak)
                continue;
            sum +=
                std::max(static_cast<double>(needs[static_cast<std::size_t>(i)]), kindWidthOf(note.type) * f);
        }
        return sum;
    };
    double lo = 0.0, hi = std::max(1.0, static_cast<double>(w));
    for (int k = 0; k < 50; ++k) {
        const double mid = (lo + hi) / 2;
        (total(mid) > w ? hi : lo) = mid;
    }
    for (int i = from; i < to; ++i) {
        const Note& note = t.noteAt(i);
        const int need = i < n ? needs[static_cast<std::size_t>(i)] : 0;
        const double width = std::max(static_cast<double>(need), kindWidthOf(note.type) * lo);
        places[static_cast<std::size_t>(i)].width = static_cast<int32_t>(std::min(width, 32000.0));
    }
    return true;
}

int MeasureWidths::of(int m) const
{
    const int extra = lyricExtra && m >= 0 && m < static_cast<int>(lyricExtra->size())
                          ? (*lyricExtra)[static_cast<std::size_t>(m)]
                          : 0;
    if (extra <= 0)
        return measureWidth;
    return std::clamp(measureWidth + extra, measureWidth, std::max(measureWidth, rowLength));
}

void stretchMeasures(std::vector<MeasureRecord>& records, int first, int last, int target, int after)
{
    if (first < 0 || last >= static_cast<int>(records.size()))
        return;
    long long total = std::max(after, 0);
    for (int k = first; k <= last; ++k)
        total += records[static_cast<std::size_t>(k)].width;
    if (total <= 0 || total >= target)
        return;
    const long long extra = target - total;
    long long given = 0;
    for (int k = first; k <= last; ++k) {
        MeasureRecord& rec = records[static_cast<std::size_t>(k)];
        // The row's last measure takes what rounding left over.
        const long long more = k == last && after <= 0 ? extra - given : extra * rec.width / total;
        given += more;
        rec.width += static_cast<int32_t>(more);
    }
}

void SheetDrawing::drawLyric(const StaffRow& row, const Note& note, const NoteLayout& place)
{
    const auto& text = note.lyrictext();
    if (!text || text->empty())
        return;
    const Font f = lyricFont(m_view.zoom());
    font(f);
    textColor(kBlack);
    const int x = sc(place.x);
    const int top = sc(7 * row.spacing + this->top(row));
    const int textWidth = lyricTextWidth(*text, f);
    // 300 x 24 device units, grown to the text and the font where they need more, so no
    // letter is ever cut: neither the descenders at a large zoom nor the end of a long syllable.
    const int width = std::max(300, textWidth + 2);
    const int height = std::max(24, lyricLineHeight(f));
    // The layout gives syllables their room; where a row is too short for a measure's
    // syllables (a narrow window at a large zoom), one that would run into the syllable before
    // it goes on the first line below with room (of three; with none, where the least runs
    // over).
    if (top != m_lyricTop) {
        m_lyricTop = top;
        std::fill(std::begin(m_lyricEnd), std::end(m_lyricEnd), -1000000);
    }
    int line = 0;
    while (line < kLyricLines && x < m_lyricEnd[line])
        ++line;
    if (line == kLyricLines)
        line = static_cast<int>(std::min_element(std::begin(m_lyricEnd), std::end(m_lyricEnd)) -
                                std::begin(m_lyricEnd));
    m_lyricEnd[line] = x + textWidth + std::max(1, sc(kLyricGap / 2));
    const int y = top + line * lyricLineHeight(f);
    m_canvas.drawTextInRect(x, y, x + width, y + height, *text);
}

} // namespace tonvela
