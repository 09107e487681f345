\version "2.24.0"
<<
\new Staff {
\time 6/8
\clef "treble_8"
\key c \major
\partial 1*1/8
g8
c'4
d'8
e'4.
f'8
e'8
d'8
c'8
b8
a8
c'4.
c'4.
g'8
f'8
e'8
d'4
c'8
c'4.
c'4
}
>>
