# The Debian packages Morvane needs, one list per need, and what installs
# the missing ones. Sourced by the scripts beside it.

# Building and starting the program (scripts/run).
morvane_run_packages="g++ cmake ninja-build libcli11-dev qt6-base-dev qt6-multimedia-dev
  libpulse-dev libflac-dev libcue-dev fonts-noto-cjk qt6-translations-l10n"
# On top of those, the tests, the fuzzing and sanitizer builds, the packaging
# check and the screenshots (scripts/test).
morvane_test_packages="libgtest-dev sox flac ffmpeg python3 pulseaudio pulseaudio-utils
  pipewire pipewire-pulse wireplumber dbus-daemon
  clang libclang-rt-14-dev xvfb xauth desktop-file-utils appstream man-db
  bash-completion dpkg-dev librsvg2-bin strace lintian"

morvane_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# morvane_install_deps PACKAGE...: installs those that are missing.
morvane_install_deps() {
  local missing=() p
  for p in "$@"; do
    morvane_installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

morvane_build() {
  local dir=$1; shift
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  cmake -S "$morvane_root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVANE_WERROR=$werror "$@"
  cmake --build "$dir" -j "$(nproc)"
}
