#pragma once

namespace tonvela {

struct Note;
struct NoteLayout;

// Identifiers of the glyph sheet. The clef, accidental, dot and time-signature values are the
// ones commands and files use; the note, rest and clip glyphs are this program's own.
//
// Anchoring every glyph drawing keeps (sheet units, box top-left at (x, y)):
// - a note with its stem up has the stem at x + 12 rising 3.5 staff spaces from the head
//   centred near (x + 7, y + 28), to y - 3.5; with the stem down the head is centred near
//   (x + 7, y + 6) and the stem runs at x + 3 down to y + 37.5; a whole note's head is centred
//   near (x + 7, y + 27); a thirty-second's stem is half a space longer for its third flag;
// - a sharp or natural is centred near (x + 4, y + 10); a flat's belly near (x + 4, y + 13);
// - rests are centred on the staff's middle line at the heights noteY gives them; the half
//   rest's block sits on the middle line (y + 5 there), the whole rest's hangs from the line
//   above it (y - 8 there).
// The note glyph's parts, sheet units from its box's top-left corner (the values above).
inline constexpr double kStemUpX = 12.0;  // centre of an up stem
inline constexpr double kStemDownX = 3.0; // centre of a down stem
inline constexpr double kHeadUpY = 28.0;  // head centre of a stem-up note
inline constexpr double kHeadDownY = 6.0; // head centre of a stem-down note
inline constexpr double kWholeHeadY = 27.0;
inline constexpr double kHeadUpX = 7.26;   // head centres across: the head's right edge meets
inline constexpr double kHeadDownX = 7.74; // an up stem, its left edge a down stem
inline constexpr double kWholeHeadX = 7.2;
inline constexpr double kHeadHalfWidth = 5.24; // a black or half head, tilted
inline constexpr double kWholeHeadHalfWidth = 7.0;
inline constexpr double kHeadHalfHeight = 4.4; // the highest of the heads' half heights
inline constexpr double kStemLength = 31.5;    // 3.5 staff spaces from the head centre
inline constexpr double kExtraFlagStem = 4.5;  // half a space more per flag past two
inline constexpr double kStemUpTipY = kHeadUpY - kStemLength;
inline constexpr double kStemDownTipY = kHeadDownY + kStemLength;

// Line weights in staff spaces, as engravers give them: a drawing's lines thicken with the
// zoom like its glyphs.
inline constexpr double kStaffLineWeight = 0.12;
inline constexpr double kStemWeight = 0.12;
inline constexpr double kLedgerLineWeight = 0.16;
inline constexpr double kBarLineWeight = 0.16;
inline constexpr double kBeamThickness = 0.5;
inline constexpr double kBeamDistance = 0.75; // from one beam's outer edge to the next one's
inline constexpr double kTieMidWeight = 0.2;  // a tie is thickest in its middle
inline constexpr double kTieEndWeight = 0.06;

enum GlyphId : int {
    kGlyphSharp = 1126,
    kGlyphFlat = 1127,
    kGlyphDot = 1128,
    kGlyphNatural = 1179,
    kGlyphDigit8 = 391539,
    kGlyphDigit6 = 391540,
    kGlyphDigit5 = 391541,
    kGlyphDigit4 = 391542,
    kGlyphDigit3 = 391543,
    kGlyphDigit2 = 391544,
    kGlyphDigit7 = 391545,
    kGlyphDigit9 = 391546,
    kGlyphCommonTime = 391556, // the time signature drawn as one glyph
    kGlyphCutTime = 537,       // the C struck through: 2/2
    kGlyphDigit1 = 538,        // the 1 of 12/8
    kGlyphGClef = 393939,
    kGlyphFClef = 393940,
    kGlyphPercussionClef = 393942,

    kGlyphWholeNote = 500,
    kGlyphHalfUp = 501,
    kGlyphHalfDown = 502,
    kGlyphQuarterUp = 503,
    kGlyphQuarterDown = 504,
    kGlyphEighthUp = 505,
    kGlyphEighthDown = 506,
    kGlyphSixteenthUp = 507,
    kGlyphSixteenthDown = 508,
    kGlyphThirtySecondUp = 509,
    kGlyphThirtySecondDown = 510,
    // The flags of an eighth, sixteenth and thirty-second alone, where the note's own glyph
    // draws them: drawn lower or higher to hang from a stem carried on to the middle line.
    kGlyphFlagsUp1 = 511,
    kGlyphFlagsUp2 = 512,
    kGlyphFlagsUp3 = 513,
    kGlyphFlagsDown1 = 514,
    kGlyphFlagsDown2 = 515,
    kGlyphFlagsDown3 = 516,
    kGlyphHalfRest = 520,  // sits on the middle line when drawn at the half rest's height
    kGlyphWholeRest = 525, // hangs from the line above the middle at the whole rest's height
    kGlyphQuarterRest = 521,
    kGlyphEighthRest = 522,
    kGlyphSixteenthRest = 523,
    kGlyphThirtySecondRest = 524,
    kGlyphAudioClip = 530,
    kGlyphClefOctave = 531, // the small "8" under a G clef written an octave above its sound
    // A chord's head on the far side of its stem: the head alone, where the note glyph of the
    // same stem direction has it.
    kGlyphBlackHeadUp = 532,
    kGlyphBlackHeadDown = 533,
    kGlyphVoidHeadUp = 534,
    kGlyphVoidHeadDown = 535,
    // The same notes with a cross head, as drums with cross heads are written: the plain
    // note glyph's number + kCrossHeadOffset. Half and whole notes take a circled cross.
    kGlyphCrossWholeNote = 540,
    kGlyphCrossQuarterUp = 543,
    kGlyphCrossThirtySecondDown = 550,
    kGlyphCrossBlackHeadUp = 572,
    kGlyphCrossVoidHeadDown = 575,
};
inline constexpr int kCrossHeadOffset = 40;

// The cross-headed form of a note glyph (the head-only glyphs included); other glyphs as they
// are.
int crossHeadGlyph(int glyph);

// The head alone of a note glyph (a whole note is a head already); 0 for other glyphs.
int headOnlyGlyph(int glyph);

// Glyph of a time-signature digit 1..9; 0 for any other digit.
int digitGlyph(int digit);

// The note's own glyph as laid out (beamed notes as quarters, rests by kind, heads with the
// stem on the note's side); 0 when the kind draws nothing of its own.
int noteGlyph(const Note& note, const NoteLayout& place);

// Numerator and denominator glyphs of a time-signature code (denominator 0 for common and
// cut time, which are one glyph); a numerator of two digits has its tens in `tens` (else 0).
// Codes outside the table draw as 4/4.
struct TimeSignatureGlyphs {
    int numerator;
    int denominator;
    int tens = 0;
};
TimeSignatureGlyphs timeSignatureGlyphs(int code);

} // namespace tonvela
