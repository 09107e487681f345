\version "2.24.0"
<<
\new Staff {
\time 4/4
\clef "treble_8"
\key d \major
a8
b8
cis'8
d'8
e'4~
e'4
g16
a16
b16
cis'16
g'4.
fis'8
ais'2
r4
d'4
b1
}
\new Lyrics \lyricmode {
"Sing"8
"a"8
"song"8
"of"8
"joy"4
\skip 4
"and"16
\skip 16
\skip 16
\skip 16
"light"4.
\skip 8
"on"2
\skip 4
"high"4
"ground"1
}
\new Staff {
\time 4/4
\clef bass
\key bes \major
<bes, d f>2
<c ees>2
ges,1
a,4
bes,4
r2
d1
}
\new Staff {
\time 4/4
\clef treble
\key c \major
a'4
a'4
a'4
a'4
c''2
f''2
d''1
}
\new DrumStaff \with { drumStyleTable = #(alist->hash-table '((hibongo () #f 3))) } \drummode {
\time 4/4
hibongo8
hibongo8
hibongo8
hibongo8
hibongo8
hibongo8
hibongo8
hibongo8
hibongo4
hibongo4
hibongo4
hibongo4
}
\new TabStaff {
\time 4/4
e'4\1
f'4\1
c'4\2
a4\3
f4\4
d4\4
c4\5
b4\2
}
>>
