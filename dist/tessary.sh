#!/bin/sh
# Starts the Tessary client installed beside this script: <prefix>/bin/tessary
# runs <prefix>/lib/tessary/zarek.exe, whatever the prefix and however this
# script was reached (a symbolic link, a relative path, a folder on PATH).
self=$(readlink -f -- "$0") || exit 127
# The program binds the web engine's functions when it has loaded the engine,
# after its first window; binding everything at the start would fail.
unset LD_BIND_NOW
exec "${self%/*}/../lib/tessary/zarek.exe" "$@"
