#include "score/time_signature.h"

#include "score/duration.h"

#include <array>
#include <iterator>

namespace tonvela {
namespace {

// The entries of the "Time Sig:" list: the first eleven as they always were, then the meters
// added later, so an entry keeps its number.
const std::array<TimeSignatureInfo, 18>& timeSignatureTable()
{
    static const std::array<TimeSignatureInfo, 18> table{{
        {kTimeSig24, "2/4", 2, 4, 11},
        {kTimeSig34, "3/4", 3, 4, 0},
        {kTimeSig44, "4/4", 4, 4, 1},
        {kTimeSig54, "5/4", 5, 4, 2},
        {kTimeSig68, "6/8", 6, 8, 12},
        {kTimeSig64, "6/4", 6, 4, 3},
        {kTimeSig74, "7/4", 7, 4, 4},
        {kTimeSig84, "8/4", 8, 4, 5},
        {kTimeSig94, "9/4", 9, 4, 6},
        {kTimeSigSingleGlyph, "C", 4, 4, 17, MeterSymbol::Common},
        {kTimeSig38, "3/8", 3, 8, 7},
        {kTimeSig58, "5/8", 5, 8, 8},
        {kTimeSig78, "7/8", 7, 8, 9},
        {kTimeSig98, "9/8", 9, 8, 10},
        {kTimeSig22, "2/2", 2, 2, 13, MeterSymbol::Cut},
        {kTimeSig32, "3/2", 3, 2, 14},
        {kTimeSig128, "12/8", 12, 8, 15},
        {kTimeSig48, "4/8", 4, 8, 16},
    }};
    return table;
}

// Panel entries in list order.
constexpr int kPanelCodes[] = {kTimeSig34,  kTimeSig44, kTimeSig54,         kTimeSig64, kTimeSig74,
                               kTimeSig84,  kTimeSig94, kTimeSig38,         kTimeSig58, kTimeSig78,
                               kTimeSig98,  kTimeSig24, kTimeSig68,         kTimeSig22, kTimeSig32,
                               kTimeSig128, kTimeSig48, kTimeSigSingleGlyph};

} // namespace

int64_t TimeSignatureInfo::measureTicks() const
{
    return beatsPerMeasure * kWholeTicks / beatUnit;
}

const TimeSignatureInfo& timeSignatureInfo(int code)
{
    for (const auto& row : timeSignatureTable())
        if (row.code == code)
            return row;
    return timeSignatureTable()[2];
}

int timeSignatureCodeOf(int beats, int beatUnit, MeterSymbol symbol)
{
    for (const auto& row : timeSignatureTable())
        if (row.beatsPerMeasure == beats && row.beatUnit == beatUnit && row.symbol == symbol)
            return row.code;
    // Cut time is the only 2/2 the table has; common time asked of a meter other than 4/4 is
    // drawn as numbers.
    for (const auto& row : timeSignatureTable())
        if (row.beatsPerMeasure == beats && row.beatUnit == beatUnit)
            return row.code;
    return 0;
}

int64_t validPickup(int64_t ticks, int code)
{
    return ticks > 0 && ticks < measureTicksOf(code) ? ticks : 0;
}

int timeSignatureOfPanelEntry(int entry)
{
    if (entry < 0 || entry >= static_cast<int>(std::size(kPanelCodes)))
        return kTimeSig44;
    return kPanelCodes[entry];
}

const std::vector<std::string>& timeSignaturePanelTexts()
{
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        for (int code : kPanelCodes)
            t.emplace_back(timeSignatureInfo(code).text);
        return t;
    }();
    return texts;
}

} // namespace tonvela
