#!/bin/sh
# Starts the Tessary client installed beside this script: <prefix>/bin/tessary
# runs <prefix>/lib/tessary/zarek.exe, whatever the prefix and however this
# script was reached (a symbolic link, a relative path, a folder on PATH).
self=$(readlink -f -- "$0") || exit 127
exec "${self%/*}/../lib/tessary/zarek.exe" "$@"
