#!/usr/bin/env bash
# Sets up what is missing, builds Tonvela and runs it. Until the desktop window exists this
# shows the bundled example sheet through tonvela-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)"
if [ "$#" -gt 0 ]; then
  exec ./build/src/cli/tonvela-cli "$@"
fi
exec ./build/src/cli/tonvela-cli info examples/ode_to_joy.shd
