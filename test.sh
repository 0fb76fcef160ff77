#!/usr/bin/env bash
# Builds the client twice (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test of both builds. Tests that
# open windows get a virtual screen (Xvfb) started here; the end-to-end
# tests start their own, with a window manager. Installs what is missing.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
tessary_ensure_packages "${TESSARY_BUILD_PACKAGES[@]}" "${TESSARY_TEST_PACKAGES[@]}"

jobs=$(nproc)
screen=""
cleanup() { [ -n "$screen" ] && kill "$screen" 2>/dev/null || true; }
trap cleanup EXIT
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
screen=$!
export DISPLAY=$display

for preset in default asan; do
  echo "=== $preset build"
  # CI (.ci/run) builds with warnings as errors.
  cmake --preset "$preset" ${TESSARY_WARNINGS_AS_ERRORS:+-DCMAKE_COMPILE_WARNING_AS_ERROR=ON}
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset tests"
  ctest --preset "$preset" -j "$jobs"
done

echo "=== style"
tests/check_format.sh

if [ "${TESSARY_SKIP_FUZZ:-0}" != 1 ]; then
  echo "=== fuzzing (bounded)"
  scripts/fuzz.sh "${TESSARY_FUZZ_SECONDS:-60}"
fi
