#include "score/time_signature.h"

#include <array>
#include <iterator>

namespace tonvela {
namespace {

const std::array<TimeSignatureInfo, 14>& timeSignatureTable()
{
    static const std::array<TimeSignatureInfo, 14> table{{
        {kTimeSig24, "2/4", 2, 0.5, 0},
        {kTimeSig34, "3/4", 3, 0.75, 0},
        {kTimeSig44, "4/4", 4, 1.0, 1},
        {kTimeSig54, "5/4", 5, 1.25, 2},
        {kTimeSig68, "6/8", 6, 0.75, 0},
        {kTimeSig64, "6/4", 6, 1.5, 3},
        {kTimeSig74, "7/4", 7, 1.75, 4},
        {kTimeSig84, "8/4", 8, 2.0, 5},
        {kTimeSig94, "9/4", 9, 2.25, 6},
        {kTimeSigSingleGlyph, "single", 4, 1.0, 0},
        {kTimeSig38, "3/8", 3, 0.375, 7},
        {kTimeSig58, "5/8", 5, 0.625, 8},
        {kTimeSig78, "7/8", 7, 0.875, 9},
        {kTimeSig98, "9/8", 9, 1.125, 10},
    }};
    return table;
}

// Panel entries in list order.
constexpr int kPanelCodes[] = {kTimeSig34, kTimeSig44, kTimeSig54, kTimeSig64, kTimeSig74, kTimeSig84,
                               kTimeSig94, kTimeSig38, kTimeSig58, kTimeSig78, kTimeSig98};

} // namespace

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
