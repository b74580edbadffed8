#!/usr/bin/env bash
# Installs what is missing, builds Kelvane in Release, runs the install step
# (program folder and settings store) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
prefix=${KELVANE_PREFIX:-$PWD/dist}
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build build-release
cmake --install build-release --prefix "$prefix"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$prefix/kelvane" "$@"
fi
exec "$prefix/kelvane" "$@"
