#!/usr/bin/env bash
# Builds the client and starts it against the local demo site. Installs what
# is missing. Needs a desktop; without one it says how to use a virtual screen.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
tessary_ensure_packages "${TESSARY_BUILD_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cat <<'MSG'
There is no display to show the client on. To run it on a virtual screen:

  sudo apt-get install -y xvfb openbox imagemagick
  Xvfb :5 -screen 0 1920x1080x24 & export DISPLAY=:5; openbox &
  ./run.sh

and look at it with:  import -window root screen.png
MSG
  exit 1
fi

build=build/default
python3 demo/server.py --port 8310 --movies "$build/movies" --quiet &
site=$!
trap 'kill $site 2>/dev/null || true' EXIT
# Wait for the demo site before the client asks it for its update description.
for _ in $(seq 50); do
  curl -fsS -o /dev/null http://127.0.0.1:8310/lander/zarek && break
  sleep 0.1
done
"$build/zarek.exe"
