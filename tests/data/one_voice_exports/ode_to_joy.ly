\version "2.24.0"
<<
\new Staff {
\time 4/4
\clef "treble_8"
\key c \major
e'4
e'4
f'4
g'4
g'4
f'4
e'4
d'4
c'4
c'4
d'4
e'4
e'4.
d'8
d'2
e'4
e'4
f'4
g'4
g'4
f'4
e'4
d'4
c'4
c'4
d'4
e'4
d'4.
c'8
c'2
}
\new Lyrics \lyricmode {
"joy"4
"ful"4
"joy"4
"ful"4
"Lord"4
"we"4
"a"4
"dore"4
"thee"4
"God"4
"of"4
"glo"4
"ry"4.
"Lord"8
"of"2
"love"4
"hearts"4
"un"4
"fold"4
"like"4
"flowers"4
"be"4
"fore"4
"thee"4
"op"4
"'ning"4
"to"4
"the"4.
"sun"8
"above"2
}
\new Staff {
\time 4/4
\clef bass
\key c \major
<c g>2
<c g>2
<c g>2
g2
<c g>2
<c g>2
g2
g2
<c g>2
<c g>2
<c g>2
g2
<c g>2
<c g>2
g2
<c g>2
}
>>
