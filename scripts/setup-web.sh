#!/usr/bin/env bash
# Prepares the browser build on a Debian 12 machine: Debian's emscripten, and
# the engine's libraries built for WebAssembly from Debian's own source
# packages at pinned versions. Everything lands in a cache outside the tree
# (VELMORA_WEB_CACHE, default ~/.cache/velmora-web); a library whose pinned
# version is already installed there is not built again.
#   cache/em/      node wrapper, emscripten configuration, its own cache
#   cache/src/     unpacked source packages, as Debian ships them
#   cache/work/    a copy of each per variant, where it is built
#   cache/prefix/         the WebAssembly libraries with threads, headers, pkg-config files
#   cache/prefix-single/  the same without threads, for pages that are not cross-origin isolated
# Prints the line to source for the build: `. CACHE/env.sh`.
# With --check it builds nothing and tells (exit 0 or 1) whether the cache
# already holds every library at its pinned version. --threads-only skips the
# thread-free set.
set -euo pipefail

CACHE=${VELMORA_WEB_CACHE:-$HOME/.cache/velmora-web}
# The variant being built: its prefix, its compiler flags, SDL's thread switch.
PREFIX=$CACHE/prefix
NICE=(nice -n 19)
JOBS=${JOBS:-2}

# Source package, pinned version, build function. Changing a version rebuilds
# that library (and, through the stamp, nothing else).
LIBS=(
  "zlib 1:1.2.13.dfsg-1 build_zlib"
  "libpng1.6 1.6.39-2+deb12u5 build_png"
  "libjpeg-turbo 1:2.1.5-2 build_jpeg"
  "freetype 2.12.1+dfsg-5+deb12u4 build_freetype"
  "libogg 1.3.5-3 build_ogg"
  "libvorbis 1.3.7-1 build_vorbis"
  "libtheora 1.1.1+dfsg.1-16.1+deb12u1 build_theora"
  "lua5.2 5.2.4-3 build_lua"
  "libonig 6.9.8-1 build_onig"
  "libsdl2 2.26.5+dfsg-1 build_sdl"
)

log() { echo "setup-web: $*" >&2; }

# Another process may hold the dpkg lock.
retry() {
  local n
  for n in 1 2 3 4 5 6 7 8 9 10; do
    "$@" && return 0
    log "'$*' failed (try $n), retrying in 15 s"
    sleep 15
  done
  return 1
}

install_packages() {
  local want=(emscripten dpkg-dev python3 chromium fonts-ipafont-gothic fonts-ipafont-mincho fonts-vlgothic)
  local missing=() p
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  export DEBIAN_FRONTEND=noninteractive
  retry apt-get update -q
  retry apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# A deb-src entry for every suite the machine installs binaries from.
add_source_entries() {
  local out=/etc/apt/sources.list.d/velmora-web-src.sources changed=0 f
  if [ ! -f "$out" ]; then
    : > "$out.tmp"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ "$f" = "$out" ] && continue
      grep -q "^URIs:.*debian" "$f" || continue
      sed 's/^Types: deb$/Types: deb-src/' "$f" >> "$out.tmp"
      echo >> "$out.tmp"
    done
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb +[^ ]*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
        > /etc/apt/sources.list.d/velmora-web-src.list || true
      [ -s /etc/apt/sources.list.d/velmora-web-src.list ] || rm -f /etc/apt/sources.list.d/velmora-web-src.list
    fi
    if [ -s "$out.tmp" ]; then mv "$out.tmp" "$out"; else rm -f "$out.tmp"; fi
    changed=1
  fi
  if [ $changed = 1 ] || ! apt-cache showsrc zlib >/dev/null 2>&1 || [ -z "$(apt-cache showsrc zlib 2>/dev/null)" ]; then
    retry apt-get update -q
  fi
}

# Debian's emscripten 3.1.6 takes node's built-in fetch for a browser and
# fails to read its own .wasm under node 20: the wrapper turns that off, and
# finds Debian's node modules (acorn), which nodesource's node does not. Its
# system libraries are prebuilt in a read-only cache; ports are never fetched.
setup_emscripten() {
  mkdir -p "$CACHE/em"
  # Emscripten runs configure checks under node with flags node 20 refuses
  # (threads and bulk memory are on by default there): they are dropped.
  cat > "$CACHE/em/node" <<'EOF'
#!/bin/bash
args=()
for a in "$@"; do
  case $a in --experimental-wasm-threads|--experimental-wasm-bulk-memory) ;; *) args+=("$a") ;; esac
done
NODE_PATH=/usr/share/nodejs exec /usr/bin/node --no-experimental-fetch "${args[@]}"
EOF
  chmod +x "$CACHE/em/node"
  sed -e "s|^NODE_JS = .*|NODE_JS = '$CACHE/em/node'|" /usr/share/emscripten/.emscripten > "$CACHE/em/config"
  cat > "$CACHE/env.sh" <<EOF
export EM_CONFIG=$CACHE/em/config
export VELMORA_WEB_PREFIX=$PREFIX
export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
unset PKG_CONFIG_PATH
EOF
}

# Every library is compiled with the same flags as the engine that links it:
# shared memory must match across the whole link, so each variant has its own set.
CFLAGS_WEB="-O2 -pthread"
SDL_THREADS=ON
use_variant() {
  case $1 in
    threads) PREFIX=$CACHE/prefix CFLAGS_WEB="-O2 -pthread" SDL_THREADS=ON ;;
    single) PREFIX=$CACHE/prefix-single CFLAGS_WEB="-O2" SDL_THREADS=OFF ;;
  esac
  VARIANT=$1
  export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
}
VARIANT=threads

fetch_source() {  # package version -> prints a fresh copy to build this variant in
  local pkg=$1 ver=$2 upstream dir work
  upstream=${ver#*:}; upstream=${upstream%-*}
  dir=$CACHE/src/$pkg-$upstream
  if [ ! -d "$dir" ]; then
    mkdir -p "$CACHE/src"
    (cd "$CACHE/src" && retry apt-get source -q --only-source "$pkg=$ver" >&2)
  fi
  # Some builds are in-source: each variant builds in its own copy.
  work=$CACHE/work/$VARIANT/$pkg-$upstream
  rm -rf "$work"
  mkdir -p "$CACHE/work/$VARIANT"
  cp -a "$dir" "$work"
  echo "$work"
}

cmake_web() {  # source-dir build-dir extra-args...
  local src=$1 bld=$2; shift 2
  "${NICE[@]}" emcmake cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_FIND_ROOT_PATH="$PREFIX" \
    -DCMAKE_C_FLAGS="$CFLAGS_WEB" -DCMAKE_CXX_FLAGS="$CFLAGS_WEB" -DBUILD_SHARED_LIBS=OFF "$@" >&2
  "${NICE[@]}" ninja -C "$bld" -j"$JOBS" install >&2
}

build_zlib() {
  local src=$1
  (cd "$src" && CFLAGS="$CFLAGS_WEB" "${NICE[@]}" emconfigure ./configure --static --prefix="$PREFIX" >&2 &&
    "${NICE[@]}" emmake make -j"$JOBS" libz.a >&2 && emmake make install >&2)
}

build_png() {
  cmake_web "$1" "$1/web-build" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_ROOT="$PREFIX" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DM_LIBRARY=""
}

build_jpeg() {
  cmake_web "$1" "$1/web-build" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib"
}

build_freetype() {
  cmake_web "$1" "$1/web-build" -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_BROTLI=ON \
    -DFT_DISABLE_PNG=ON -DFT_REQUIRE_ZLIB=ON -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include"
}

build_ogg() {
  cmake_web "$1" "$1/web-build" -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
}

build_vorbis() {
  cmake_web "$1" "$1/web-build" -DOGG_INCLUDE_DIR="$PREFIX/include" -DOGG_LIBRARY="$PREFIX/lib/libogg.a"
}

build_theora() {
  local src=$1
  (cd "$src" && CFLAGS="$CFLAGS_WEB" PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" "${NICE[@]}" emconfigure ./configure \
      --prefix="$PREFIX" --disable-shared --enable-static --disable-asm --disable-examples \
      --disable-oggtest --disable-vorbistest --disable-sdltest \
      --with-ogg="$PREFIX" --with-vorbis="$PREFIX" >&2 &&
    "${NICE[@]}" emmake make -C lib -j"$JOBS" >&2 && emmake make -C lib install >&2 &&
    emmake make -C include install >&2)
  # Only the installed forms: pkg-config prefers a NAME-uninstalled.pc it finds.
  [ -f "$PREFIX/lib/pkgconfig/theoradec.pc" ] || install -m644 "$src"/theora{,dec,enc}.pc "$PREFIX/lib/pkgconfig/"
  rm -f "$PREFIX"/lib/pkgconfig/theora*-uninstalled.pc
}

# Lua's own makefile builds programs too; the library is its sources minus
# them. Compiled as C++ (errors unwind as exceptions), as Debian's lua5.2-c++
# that the desktop build links.
build_lua() {
  local src=$1 bld=$1/web-build f objs=()
  mkdir -p "$bld" "$PREFIX/include/lua5.2" "$PREFIX/lib/pkgconfig"
  # Debian's luaconf.h names the multiarch folder for C modules, none here.
  echo '#define DEB_HOST_MULTIARCH "wasm32-emscripten"' > "$PREFIX/include/lua5.2/lua5.2-deb-multiarch.h"
  for f in "$src"/src/*.c; do
    case $(basename "$f") in lua.c|luac.c) continue ;; esac
    "${NICE[@]}" em++ $CFLAGS_WEB -fexceptions -x c++ -DLUA_COMPAT_ALL -I"$PREFIX/include/lua5.2" -c "$f" -o "$bld/$(basename "${f%.c}").o"
    objs+=("$bld/$(basename "${f%.c}").o")
  done
  rm -f "$PREFIX/lib/liblua5.2-c++.a"
  emar rcs "$PREFIX/lib/liblua5.2-c++.a" "${objs[@]}"
  install -m644 "$src"/src/{lua.h,luaconf.h,lualib.h,lauxlib.h} "$PREFIX/include/lua5.2/"
  [ ! -f "$src/src/lua.hpp" ] || install -m644 "$src/src/lua.hpp" "$PREFIX/include/lua5.2/"
  cat > "$PREFIX/lib/pkgconfig/lua5.2-c++.pc" <<EOF
prefix=$PREFIX
Name: Lua
Description: Lua 5.2 for WebAssembly, compiled as C++
Version: 5.2.4
Libs: -L\${prefix}/lib -llua5.2-c++
Cflags: -I\${prefix}/include/lua5.2
EOF
}

build_onig() {
  cmake_web "$1" "$1/web-build" -DBUILD_TEST=OFF -DENABLE_POSIX_API=OFF -DINSTALL_DOCUMENTATION=OFF \
    -DINSTALL_EXAMPLES=OFF
}

build_sdl() {
  cmake_web "$1" "$1/web-build" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_PTHREADS=$SDL_THREADS \
    -DSDL_THREADS=$SDL_THREADS
}

variant_complete() {  # prefix
  local entry pkg ver fn
  for entry in "${LIBS[@]}"; do
    read -r pkg ver fn <<< "$entry"
    [ "$(cat "$1/stamps/$pkg" 2>/dev/null)" = "$ver" ] || return 1
  done
}

cache_complete() {
  command -v emcc >/dev/null && command -v chromium >/dev/null && [ -f "$CACHE/env.sh" ] || return 1
  variant_complete "$CACHE/prefix" && { [ "${1:-}" = threads ] || variant_complete "$CACHE/prefix-single"; }
}

build_variant() {
  use_variant "$1"
  mkdir -p "$PREFIX/stamps"
  local entry pkg ver fn dir stamp
  for entry in "${LIBS[@]}"; do
    read -r pkg ver fn <<< "$entry"
    stamp=$PREFIX/stamps/$pkg
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$ver" ]; then
      continue
    fi
    log "building $pkg $ver ($VARIANT)"
    dir=$(fetch_source "$pkg" "$ver")
    "$fn" "$dir"
    echo "$ver" > "$stamp"
    rm -rf "$dir"
  done
}

main() {
  if [ "${1:-}" = --check ]; then
    cache_complete "${2:-}"
    return
  fi
  install_packages
  add_source_entries
  setup_emscripten
  export EM_CONFIG=$CACHE/em/config
  unset PKG_CONFIG_PATH
  build_variant threads
  [ "${1:-}" = --threads-only ] || build_variant single
  log "ready: . $CACHE/env.sh"
}

main "$@"
