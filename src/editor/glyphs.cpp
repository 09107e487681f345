#include "editor/glyphs.h"

#include "editor/sheet_layout.h"
#include "score/note.h"
#include "score/track.h"

namespace tonvela {

int digitGlyph(int digit)
{
    switch (digit) {
    case 1:
        return kGlyphDigit1;
    case 2:
        return kGlyphDigit2;
    case 3:
        return kGlyphDigit3;
    case 4:
        return kGlyphDigit4;
    case 5:
        return kGlyphDigit5;
    case 6:
        return kGlyphDigit6;
    case 7:
        return kGlyphDigit7;
    case 8:
        return kGlyphDigit8;
    case 9:
        return kGlyphDigit9;
    default:
        return 0;
    }
}

int headOnlyGlyph(int glyph)
{
    switch (glyph) {
    case kGlyphWholeNote:
        return kGlyphWholeNote;
    case kGlyphHalfUp:
        return kGlyphVoidHeadUp;
    case kGlyphHalfDown:
        return kGlyphVoidHeadDown;
    case kGlyphQuarterUp:
    case kGlyphEighthUp:
    case kGlyphSixteenthUp:
    case kGlyphThirtySecondUp:
        return kGlyphBlackHeadUp;
    case kGlyphQuarterDown:
    case kGlyphEighthDown:
    case kGlyphSixteenthDown:
    case kGlyphThirtySecondDown:
        return kGlyphBlackHeadDown;
    default:
        return 0;
    }
}

int crossHeadGlyph(int glyph)
{
    const bool note = glyph >= kGlyphWholeNote && glyph <= kGlyphThirtySecondDown;
    const bool head = glyph >= kGlyphBlackHeadUp && glyph <= kGlyphVoidHeadDown;
    return note || head ? glyph + kCrossHeadOffset : glyph;
}

int noteGlyph(const Note& note, const NoteLayout& place)
{
    const bool down = place.stemDown == 1;
    if (place.beamed)
        return down ? kGlyphQuarterDown : kGlyphQuarterUp;
    if (note.isRest()) {
        switch (note.type) {
        case kTypeWhole:
            return kGlyphWholeRest;
        case kTypeHalf:
            return kGlyphHalfRest;
        case kTypeQuarter:
            return kGlyphQuarterRest;
        case kTypeEighth:
            return kGlyphEighthRest;
        case kTypeSixteenth:
            return kGlyphSixteenthRest;
        case kTypeThirtySecond:
            return kGlyphThirtySecondRest;
        default:
            return 0;
        }
    }
    switch (note.type) {
    case kTypeWhole:
        return kGlyphWholeNote;
    case kTypeHalf:
        return down ? kGlyphHalfDown : kGlyphHalfUp;
    case kTypeQuarter:
        return down ? kGlyphQuarterDown : kGlyphQuarterUp;
    case kTypeEighth:
        return down ? kGlyphEighthDown : kGlyphEighthUp;
    case kTypeSixteenth:
        return down ? kGlyphSixteenthDown : kGlyphSixteenthUp;
    case kTypeThirtySecond:
        return down ? kGlyphThirtySecondDown : kGlyphThirtySecondUp;
    case kTypeSharpMark:
        return kGlyphSharp;
    case kTypeFlatMark:
        return kGlyphFlat;
    case kTypeAudioClip:
        return kGlyphAudioClip;
    default:
        return 0;
    }
}

TimeSignatureGlyphs timeSignatureGlyphs(int code)
{
    const TimeSignatureInfo& info = timeSignatureInfo(code);
    if (info.symbol == MeterSymbol::Common)
        return {kGlyphCommonTime, 0};
    if (info.symbol == MeterSymbol::Cut)
        return {kGlyphCutTime, 0};
    const int num = info.beatsPerMeasure;
    return {digitGlyph(num % 10), digitGlyph(info.beatUnit), num >= 10 ? digitGlyph(num / 10) : 0};
}

} // namespace tonvela
