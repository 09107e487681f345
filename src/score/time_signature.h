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

struct TimeSignatureInfo {
    int code;
    const char* text; // "2/4", ..., "single" for the one-glyph signature
    int beatsPerMeasure;
    int beatUnit;   // the note a beat is: 4 for quarters, 8 for eighths
    int panelEntry; // entry of the "Time Sig:" list that shows it (0 when it has none)

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
// The code of a "Time Sig:" list entry; any other entry gives 4/4.
int timeSignatureOfPanelEntry(int entry);
// "3/4", "4/4", ...: the texts of the "Time Sig:" list, in order.
const std::vector<std::string>& timeSignaturePanelTexts();

} // namespace tonvela
