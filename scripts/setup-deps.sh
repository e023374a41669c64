#!/usr/bin/env bash
# Installs the Debian packages Velmora builds and tests against.
# Does nothing when every package is already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libegl-dev libgl-dev libgles-dev libepoxy-dev
  libegl-mesa0 libgl1-mesa-dri libgbm1
  libfreetype-dev libfontconfig-dev
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-vlgothic
  fonts-dejavu-core  # Unicode games: glyphs the Japanese faces lack come from it
  fonts-nanum  # Unicode games: Hangul (its faces do not claim Japanese, so the Japanese names still find the IPA and VL faces)
  libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libogg-dev libvorbis-dev libtheora-dev espeak-ng
  libspeechd-dev  # self-voicing: speech-dispatcher's header (its library is opened at run time)
  vorbis-tools  # oggenc, vorbiscomment and oggdec make and check the Vorbis test files
  liblua5.2-dev libonig-dev codeblocks-dev libcodeblocks0
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  python3  # the soak run and the benchmark table
  xvfb openbox xdotool imagemagick x11-utils xfonts-base  # the window tests: a real X server, input, screenshots
  xclip  # the window tests: the text stream's clipboard read back
  onscripter  # bench/idle only: the idle benchmark's peer
  golang-1.19-src  # carries the standard PNG test suite the image tests read
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Another process (unattended upgrades, a parallel setup) may hold the dpkg lock.
retry() {
  local n
  for n in 1 2 3 4 5 6 7 8 9 10; do
    "$@" && return 0
    echo "setup-deps: '$*' failed (try $n), retrying in 15 s" >&2
    sleep 15
  done
  return 1
}

echo "setup-deps: installing ${missing[*]}"
retry $SUDO apt-get update -q
retry $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
