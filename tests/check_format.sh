#!/usr/bin/env bash
# Fails when a C++ file differs from the house style (.clang-format, checked
# with Debian's clang-format); clang-format -i on the file mends it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
