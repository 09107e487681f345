#include "editor/editing/tool_state.h"

#include <algorithm>
#include <map>

namespace tonvela {
namespace {

std::vector<std::pair<int, ButtonState>> buttonsOf(std::initializer_list<int> ids)
{
    std::vector<std::pair<int, ButtonState>> buttons;
    for (int id : ids)
        buttons.emplace_back(id, ButtonState::Normal);
    return buttons;
}

struct Watchers {
    int nextToken = 1;
    std::map<int, std::function<void()>> byToken;
};

Watchers& watchers()
{
    static Watchers w;
    return w;
}

} // namespace

void ToolGroupState::select(int id)
{
    if (id != currentId)
        previousId = currentId;
    currentId = id;
    for (auto& [button, state] : buttons)
        state = button == id ? ButtonState::Checked : ButtonState::Normal;
}

void ToolGroupState::press(int id)
{
    for (auto& [button, state] : buttons)
        if (button == id && state == ButtonState::Normal)
            state = ButtonState::Pressed;
}

void ToolGroupState::release(int id)
{
    for (auto& [button, state] : buttons)
        if (button == id)
            state = ButtonState::Normal;
}

ButtonState ToolGroupState::state(int id) const
{
    const auto it =
        std::find_if(buttons.begin(), buttons.end(), [id](const auto& b) { return b.first == id; });
    return it == buttons.end() ? ButtonState::Normal : it->second;
}

SharedToolGroups::SharedToolGroups()
    : notes{kToolQuarter, kToolQuarter,
            buttonsOf({kToolQuarter, kToolEighth, kToolSixteenth, kToolHalf, kToolWhole, kToolThirtySecond,
                       kToolRest, kToolDot, kToolSharp, kToolFlat, kToolNatural, kToolTie, kToolTriplet,
                       kToolVoice2})},
      edit{0, 0, buttonsOf({kToolBar, kToolSpace, kToolStaffBreak, kToolLyrics})}
{
    notes.select(kToolQuarter);
}

SharedToolGroups& sharedToolGroups()
{
    static SharedToolGroups groups;
    return groups;
}

int watchToolGroups(std::function<void()> watcher)
{
    Watchers& w = watchers();
    const int token = w.nextToken++;
    w.byToken.emplace(token, std::move(watcher));
    return token;
}

void unwatchToolGroups(int token)
{
    watchers().byToken.erase(token);
}

void toolGroupsChanged()
{
    // A watcher may unwatch while called; walk a copy of the tokens.
    std::vector<int> tokens;
    for (const auto& entry : watchers().byToken)
        tokens.push_back(entry.first);
    for (int token : tokens) {
        const auto it = watchers().byToken.find(token);
        if (it != watchers().byToken.end() && it->second)
            it->second();
    }
}

} // namespace tonvela
