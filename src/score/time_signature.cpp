#include "score/time_signature.h"

#include "score/duration.h"

#include <array>
#include <iterator>

namespace tonvela {
namespace {

const std::array<TimeSignatureInfo, 14>& timeSignatureTable()
{
    static const std::array<TimeSignatureInfo, 14> table{{
        {kTimeSig24, "2/4", 2, 4, 0},
        {kTimeSig34, "3/4", 3, 4, 0},
        {kTimeSig44, "4/4", 4, 4, 1},
        {kTimeSig54, "5/4", 5, 4, 2},
        {kTimeSig68, "6/8", 6, 8, 0},
        {kTimeSig64, "6/4", 6, 4, 3},
        {kTimeSig74, "7/4", 7, 4, 4},
        {kTimeSig84, "8/4", 8, 4, 5},
        {kTimeSig94, "9/4", 9, 4, 6},
        {kTimeSigSingleGlyph, "single", 4, 4, 0},
        {kTimeSig38, "3/8", 3, 8, 7},
        {kTimeSig58, "5/8", 5, 8, 8},
        {kTimeSig78, "7/8", 7, 8, 9},
        {kTimeSig98, "9/8", 9, 8, 10},
    }};
    return table;
}

// Panel entries in list order.
constexpr int kPanelCodes[] = {kTimeSig34, kTimeSig44, kTimeSig54, kTimeSig64, kTimeSig74, kTimeSig84,
                               kTimeSig94, kTimeSig38, kTimeSig58, kTimeSig78, kTimeSig98};

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
