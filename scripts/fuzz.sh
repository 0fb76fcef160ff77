#!/usr/bin/env bash
# Builds every libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for a bounded time (seconds,
# default 60) from its committed corpus. Fails when a target finds a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
status=0
for fuzzer in "$build"/fuzzers/*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=$(find . -path ./build -prune -o -type d -path "*/fuzz/corpus/$name" -print | head -n 1)
  work=$(mktemp -d)
  [ -n "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "--- $name for $seconds s"
  if ! ASAN_OPTIONS=detect_leaks=1 "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -print_final_stats=1 "$work" > "$build/$name.log" 2>&1; then
    echo "$name found a fault:"; tail -n 40 "$build/$name.log"; status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/$name.log" || true
  fi
  rm -rf "$work"
done
exit $status
