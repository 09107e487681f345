\version "2.24.0"
<<
\new Staff {
\time 4/4
\clef "treble_8"
\key ees \major
r1
r2
r4
r8
r16
r32
r32
bes,8
d8
f8
aes8
bes'16
aes'16
g'16
f'16
ees8
d'8
bes2.~
bes4
ees'2~
ees'2
aes4
aes4
aes,32
des''4
g,4
}
>>
