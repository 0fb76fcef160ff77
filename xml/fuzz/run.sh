#!/usr/bin/env bash
# Builds the reader's libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the fuzz preset) and runs it from the committed
# corpus for a bounded time (seconds, default 60). Exit status 1 when it finds a fault.
#   xml/fuzz/run.sh [seconds] [--update-corpus]
# --update-corpus merges what the run found, minimised, back into xml/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
build=build/fuzz
name=xml_tag_document_fuzzer
corpus=xml/fuzz/corpus/$name
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$name" -j 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$corpus"/. "$work"/
echo "--- $name for $seconds s"
status=0
ASAN_OPTIONS=detect_leaks=1 "$build/fuzzers/$name" -max_total_time="$seconds" \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/" \
  "$work" > "$build/$name.log" 2>&1 || status=$?
grep -E "stat::number_of_executed_units|stat::peak_rss_mb|^#[0-9]+ +DONE" "$build/$name.log" || true
if [ $status -ne 0 ]; then
  echo "$name found a fault:"; tail -n 40 "$build/$name.log"; exit 1
fi
if [ "${2:-}" = "--update-corpus" ]; then
  fresh=$(mktemp -d)
  "$build/fuzzers/$name" -merge=1 "$fresh" "$corpus" "$work" > /dev/null 2>&1
  rm -f "$corpus"/*
  cp "$fresh"/* "$corpus"/
  rm -rf "$fresh"
  echo "corpus: $(ls "$corpus" | wc -l) files, $(du -sk "$corpus" | cut -f1) KiB"
fi
