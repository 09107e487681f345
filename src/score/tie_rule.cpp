#include "score/tie_rule.h"

#include "score/note.h"

namespace tonvela {

bool tieMerges(const Note& u, const Note& v)
{
    return (u.dwFlag & kFlagTie) && (v.dwFlag & kFlagTie) && tieCanJoin(u, v);
}

bool tieCanJoin(const Note& u, const Note& v)
{
    if (u.isRest() || v.isRest())
        return u.isRest() && v.isRest();
    return u.letter == v.letter && u.octave == v.octave;
}

} // namespace tonvela
