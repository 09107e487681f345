#include "editor/editing/editor_input.h"

namespace tonvela {

char letterOf(EditorKey key)
{
    if (key < EditorKey::A || key > EditorKey::Z)
        return 0;
    return static_cast<char>('A' + (static_cast<int>(key) - static_cast<int>(EditorKey::A)));
}

int digitOf(EditorKey key)
{
    if (key < EditorKey::Digit0 || key > EditorKey::Digit9)
        return -1;
    return static_cast<int>(key) - static_cast<int>(EditorKey::Digit0);
}

EditorKey keyOfCharacter(char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return static_cast<EditorKey>(static_cast<int>(EditorKey::A) + (c - 'A'));
    if (c >= '0' && c <= '9')
        return static_cast<EditorKey>(static_cast<int>(EditorKey::Digit0) + (c - '0'));
    return EditorKey::None;
}

} // namespace tonvela
