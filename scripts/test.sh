#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite in both editions:
# the test binaries whose code reads the edition's switches are linked a
# second time from the same objects against the every-tool edition
# (<name>_all, each run whole as the test <name>_all.whole), so that edition
# costs links and one run per binary, not a second compile.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build=${KELVANE_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_SANITIZE=ON \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
cmake --build "$build"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelvane-runtime-$(id -u)}
source scripts/pulse.sh
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 600 "$@"
