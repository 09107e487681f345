#include "platform/paper_locale.h"

#include <array>
#include <cstdlib>
#include <string>

namespace tonvela {

bool localeNameUsesLetterPaper(std::string_view name)
{
    // language[_TERRITORY][.codeset][@modifier]
    const std::size_t underscore = name.find('_');
    if (underscore == std::string_view::npos)
        return false;
    std::string_view territory = name.substr(underscore + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
    static constexpr std::array<std::string_view, 14> kLetterTerritories{
        "US", "CA", "MX", "PR", "CL", "CO", "CR", "DO", "GT", "NI", "PA", "PH", "SV", "VE"};
    for (std::string_view t : kLetterTerritories)
        if (territory == t)
            return true;
    return false;
}

bool localeUsesLetterPaper()
{
    for (const char* variable : {"LC_ALL", "LC_PAPER", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return localeNameUsesLetterPaper(value);
    }
    return false;
}

} // namespace tonvela
