#!/usr/bin/env bash
# tonvela-cli starts without the drawing and sound libraries: its dynamic section names none of
# Qt, FluidSynth or ALSA (those are tonvela-cli-media's), and the commands it hands over still
# answer through it.
#   tests/cli/lean_program_check.sh TONVELA_CLI
set -euo pipefail
cli=$1
needed=$(readelf -d "$cli" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[[ -n $needed ]] || { echo "no NEEDED entries read from $cli" >&2; exit 1; }
if bad=$(grep -Ei '^lib(Qt|fluidsynth|asound|pulse|jack|sndfile)' <<<"$needed"); then
  echo "tonvela-cli links libraries it does not need to start:" >&2
  echo "$bad" >&2
  exit 1
fi
# A handed-over command: its help comes from the second program.
"$cli" play --help | grep -q '^Usage: tonvela-cli play ' || { echo "play --help did not answer" >&2; exit 1; }
# The overview lists the commands of both programs.
overview=$("$cli" --help)
for command in info convert render play devices; do
  grep -q "^  $command " <<<"$overview" || { echo "the overview lacks $command" >&2; exit 1; }
done
# Without the second program beside it, a handed-over command says what is missing.
alone=$(mktemp -d)
trap 'rm -rf "$alone"' EXIT
cp "$cli" "$alone/tonvela-cli"
if message=$("$alone/tonvela-cli" render x.shd -o x.pdf 2>&1); then
  echo "render without tonvela-cli-media reported success" >&2
  exit 1
fi
grep -q 'tonvela-cli-media, which was not found' <<<"$message" || { echo "unclear message: $message" >&2; exit 1; }
