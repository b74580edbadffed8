#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite in both editions:
# the test binaries whose code reads the edition's switches are linked a
# second time from the same objects against the every-tool edition
# (<name>_all, each run whole as the test <name>_all.whole), so that edition
# costs links and one run per binary, not a second compile.
# KELVANE_TEST_RELEASE=1 runs the same suite on a Release build without
# sanitizers instead (build folder build-release): timing slips that the
# slower sanitizer build hides show there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
if [ "${KELVANE_TEST_RELEASE:-0}" = 1 ]; then
  build=${KELVANE_TEST_BUILD:-build-release}
  config=(-DCMAKE_BUILD_TYPE=Release -DKELVANE_SANITIZE=OFF)
else
  build=${KELVANE_TEST_BUILD:-build-test}
  config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_SANITIZE=ON)
fi
cmake -S . -B "$build" -G Ninja "${config[@]}" \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
cmake --build "$build"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelvane-runtime-$(id -u)}
source scripts/pulse.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 600 "$@"
