#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonvela {

// Time signature codes, as files and the panel's "Time Sig:" list use them.
inline constexpr int kTimeSig24 = 391547;
inline constexpr int kTimeSig34 = 391548;
inline constexpr int kTimeSig44 = 391549;
inline constexpr int kTimeSig54 = 391550;
inline constexpr int kTimeSig68 = 391551;
inline constexpr int kTimeSig64 = 391552;
inline constexpr int kTimeSig74 = 391553;
inline constexpr int kTimeSig84 = 391554;
inline constexpr int kTimeSig94 = 391555;
inline constexpr int kTimeSigSingleGlyph = 391556;
inline constexpr int kTimeSig38 = 391557;
inline constexpr int kTimeSig58 = 391558;
inline constexpr int kTimeSig78 = 391559;
inline constexpr int kTimeSig98 = 391560;
// Meters the first table did not have, numbered on from it. Older readers load them as 4/4.
inline constexpr int kTimeSig22 = 391561; // cut time, drawn as the struck-through C
inline constexpr int kTimeSig32 = 391562;
inline constexpr int kTimeSig128 = 391563;
inline constexpr int kTimeSig48 = 391564;

// How a signature is drawn: as its numbers, or as the one glyph of common or cut time.
enum class MeterSymbol { Numbers, Common, Cut };

struct TimeSignatureInfo {
    int code;
    const char* text; // "2/4", ..., "C" for common time
    int beatsPerMeasure;
    int beatUnit;   // the note a beat is: 2 for halves, 4 for quarters, 8 for eighths
    int panelEntry; // entry of the "Time Sig:" list that shows it
    MeterSymbol symbol = MeterSymbol::Numbers;

    // What the notes of a measure add up to before the next measure begins, in score ticks
    // (duration.h): a 3/4 measure holds 3 quarters, a 6/8 measure 6 eighths.
    int64_t measureTicks() const;
};
// The row of a code; codes outside the table behave as 4/4.
const TimeSignatureInfo& timeSignatureInfo(int code);
// The length of a measure of a code, in score ticks.
inline int64_t measureTicksOf(int code)
{
    return timeSignatureInfo(code).measureTicks();
}
// The code of a meter: its numbers, or common and cut time as their symbols ask; 0 when the
// table has no such meter.
int timeSignatureCodeOf(int beats, int beatUnit, MeterSymbol symbol = MeterSymbol::Numbers);
// A pickup length kept only when it is shorter than a measure of `code` and longer than
// nothing; 0 otherwise.
int64_t validPickup(int64_t ticks, int code);
// The code of a "Time Sig:" list entry; any other entry gives 4/4.
int timeSignatureOfPanelEntry(int entry);
// "3/4", "4/4", ...: the texts of the "Time Sig:" list, in order.
const std::vector<std::string>& timeSignaturePanelTexts();

} // namespace tonvela
