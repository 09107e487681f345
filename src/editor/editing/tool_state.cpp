#include "editor/editing/tool_state.h"

namespace tonvela {

SharedToolGroups& sharedToolGroups()
{
    static SharedToolGroups groups;
    return groups;
}

} // namespace tonvela
