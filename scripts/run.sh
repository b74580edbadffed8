#!/usr/bin/env bash
# Installs what is missing, builds Kelvane in Release, runs the install step
# (program folder and settings store) and starts it. KELVANE_ALL_TOOLS=1
# builds the edition with every tool and destination format switched on.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
prefix=${KELVANE_PREFIX:-$PWD/dist}
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
      -DKELVANE_ALL_TOOLS="${KELVANE_ALL_TOOLS:-OFF}"
cmake --build build-release
cmake --install build-release --prefix "$prefix"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$prefix/kelvane" "$@"
fi
exec "$prefix/kelvane" "$@"
