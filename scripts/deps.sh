# Installs the Debian packages Morvane needs, where they are missing.
# Sourced by scripts/run and scripts/test.
morvane_packages="g++ cmake ninja-build libgtest-dev libcli11-dev sox python3
  qt6-base-dev qt6-multimedia-dev fonts-noto-cjk pulseaudio pulseaudio-utils"

morvane_install_deps() {
  local missing=() p
  for p in $morvane_packages "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
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
