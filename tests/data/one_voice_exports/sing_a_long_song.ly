\version "2.24.0"
<<
\new Staff {
\time 4/4
\clef "treble_8"
\key c \major
c'4
d'4
e'4
c'4
e'4
f'4
g'2
\tuplet 3/2 { g'8
a'8
g'8 }
f'4
e'4
r4
d'2~
d'4
c'4
c'1
}
\new Lyrics \lyricmode {
"Sing"4
"a"4
"long"4
"song"4
"we"4
"sing"4
"now"2
\skip 8*2/3
\skip 8*2/3
\skip 8*2/3
\skip 4
\skip 4
\skip 4
\skip 2
\skip 4
\skip 4
\skip 1
}
\new Staff {
\time 4/4
\clef bass
\key c \major
<c e g>1
f2
g2
r1
<g b d'>1
c1
}
>>
