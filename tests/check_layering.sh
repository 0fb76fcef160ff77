#!/usr/bin/env bash
# The layers' include rules: the XML reader and base/ stand on nothing of
# the window layer, and only the program's start (app/main.cpp) and the
# GTK backend see GTK, GDK or WebKit. Benchmarks that measure against a real
# GTK window are exempt. Prints each include that breaks a rule.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
sources() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -not -path '*/bench/*' 2>/dev/null; }
report() {
  while IFS= read -r line; do
    echo "layering: $line"
    status=1
  done
}
report < <(grep -nE '#include "platform/' $(sources xml base))
report < <(grep -nE '#include <(glib|gio|gobject)' $(sources base))
report < <(grep -nE '#include <(gtk|gdk|webkit2|jsc)/' $(sources app base game login platform res update xml) |
  grep -vE '^(app/main\.cpp|platform/gtk/)')
exit $status
