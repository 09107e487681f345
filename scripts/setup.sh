#!/usr/bin/env bash
# Installs the Debian packages Tonvela needs to build, run and test, and only those that are
# missing. Runs `apt-get update` first when something has to be installed.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache
  # tests, benchmarks, fuzzing
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  # format and static checks
  clang-format clang-tidy
  # MIDI output: the built-in synthesizer, its General MIDI SoundFont, ALSA sequencer ports
  libfluidsynth-dev timgm6mb-soundfont libasound2-dev
  # engraving check of exported LilyPond files
  lilypond
  # independent reading of written MIDI files in tests
  midicsv
  # real MIDI files written by other programs, for the import tests (game music, GPL)
  openttd-openmsx planetblupi-music-midi
  # sheet drawing: Qt canvas and PDF printing, music glyphs, Arial-compatible metrics
  qt6-base-dev fonts-freefont-ttf fonts-liberation2
  # desktop application: X platform plugin, virtual display for runs and tests without a screen
  qt6-qpa-plugins xvfb xauth
  # trying the running application under xvfb: keys and clicks, window pictures as PNG
  xdotool x11-apps netpbm
  # sound engine: MP3 decoding, ID3 tags, resampling to the output rate; test clips made by
  # lame and sox
  libmad0-dev libid3tag0-dev zlib1g-dev libsamplerate0-dev lame sox
  # MusicXML: XML reading and writing, compressed .mxl containers, schema validation, and an
  # independent reader (MuseScore 3, headless) for the export tests
  libpugixml-dev libzip-dev libxml2-utils musescore3
  # SVG pictures of sheet pages
  qt6-svg-dev
  # PDF files: the text face found through fontconfig and embedded as a subset by HarfBuzz;
  # the PDF tests read printed files back with poppler's tools, qpdf and Ghostscript
  libfontconfig-dev libharfbuzz-dev poppler-utils qpdf ghostscript
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
  else
    SUDO=
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
