#!/usr/bin/env bash
# Sets up what is missing, builds Tonvela and starts the desktop application. Arguments are
# passed on (files to open). Without a display the application runs on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)"
app=./build/src/shell/tonvela
if [ "$#" -eq 0 ]; then
  set -- examples/ode_to_joy.shd
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are unset); starting Tonvela on a virtual X display with xvfb-run." >&2
  echo "run: the window is not visible; stop it with Ctrl+C." >&2
  exec xvfb-run -a "$app" "$@"
fi
exec "$app" "$@"
