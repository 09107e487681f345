\version "2.24.0"
<<
\new Staff {
\time 4/4
\clef "treble_8"
\key c \major
\tuplet 3/2 { e'8
f'8
g'8 }
\tuplet 3/2 { g'4
e'8 }
d'4
\tuplet 3/2 { c'8
r8
e'8 }
\tuplet 3/2 { a'4
g'4
f'4 }
\tuplet 3/2 { e'16
f'16
g'16 }
\tuplet 3/2 { a'16
b'16
c''16 }
f'8
g'8
e'2
}
>>
