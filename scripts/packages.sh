# Debian 12 packages the client needs, and a function that installs the
# missing ones. Sourced by run.sh, test.sh and .ci/run.

TESSARY_BUILD_PACKAGES=(
  cmake ninja-build g++ pkg-config git ca-certificates patchelf
  libgtk-3-dev libwebkit2gtk-4.1-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev libxml2-dev libsodium-dev
  haxe python3 curl
  fonts-wqy-zenhei
)
TESSARY_TEST_PACKAGES=(
  xvfb xauth xdotool openbox trayer xcompmgr imagemagick x11-utils x11-xserver-utils
  mutter xwayland dbus-daemon python3-gi gir1.2-glib-2.0
  clang clang-format libclang-rt-14-dev minisign
  pulseaudio pulseaudio-utils
  dpkg-dev file desktop-file-utils appstream libglib2.0-bin libgtk-3-bin
)

tessary_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

# Installs whatever of the given packages is missing (needs root or sudo).
# Node.js is wanted as commands: a Node.js from elsewhere (NodeSource's
# package brings its own npm, and conflicts with Debian's) is fine.
tessary_ensure_packages() {
  local missing
  missing=$(tessary_missing_packages "$@")
  command -v node >/dev/null 2>&1 || missing="$missing nodejs"
  command -v npm >/dev/null 2>&1 || missing="$missing npm"
  missing=$(echo $missing)
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: $missing"
  $sudo apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
}
