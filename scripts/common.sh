# Shared by the scripts: folders, packages, the Wine environment.
# shellcheck shell=bash
SRC_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$SRC_DIR/build}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# A UTF-8 locale that exists on the host: Wine then uses the Windows-1252 ANSI code page and
# passes accented command-line arguments through (a missing locale, e.g. fr_FR here, strips
# their eighth bit).
export LANG=C.UTF-8
export LC_ALL=
WINE64=/usr/lib/wine/wine64; [ -x "$WINE64" ] || WINE64=wine64
export WINE64

# Debian packages each part needs, and a command that shows one is there.
PKG_NATIVE="cmake:cmake g++:g++ googletest:/usr/src/googletest/CMakeLists.txt"
PKG_WINDOWS="g++-mingw-w64-x86-64:x86_64-w64-mingw32-g++-posix g++-mingw-w64-i686:i686-w64-mingw32-g++-posix wine:wine wine64:/usr/lib/wine/wine64 xvfb:xvfb-run xauth:xauth"
PKG_E2E="xdotool:xdotool imagemagick:convert"
PKG_FUZZ="clang:clang++ libclang-rt-14-dev:/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"

have() {
  case "$1" in
    /*) [ -e "$1" ] ;;
    *) command -v "$1" >/dev/null 2>&1 ;;
  esac
}

# ensure_packages "pkg:probe ..." : installs what is missing when root, else names it and fails.
ensure_packages() {
  local missing=() entry pkg probe
  for entry in $*; do
    pkg=${entry%%:*}; probe=${entry#*:}
    have "$probe" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && have apt-get; then
    echo "== Installing: ${missing[*]}"
    if [ ! -e "$BUILD_ROOT/.apt-updated" ]; then
      apt-get update -qq && mkdir -p "$BUILD_ROOT" && touch "$BUILD_ROOT/.apt-updated"
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || {
      echo "apt-get could not install: ${missing[*]}" >&2; return 1; }
  else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them as root: apt-get install ${missing[*]}" >&2
    return 1
  fi
}

# BUILD_TARGETS (space-separated) limits the build to those targets; empty builds everything.
configure_build() {  # name toolchain-or-empty [extra cmake args...]
  local name=$1 tc=$2; shift 2
  local dir=$BUILD_ROOT/$name args=() targets=()
  [ -n "$tc" ] && args+=("-DCMAKE_TOOLCHAIN_FILE=$SRC_DIR/cmake/$tc")
  [ -n "${BUILD_TARGETS:-}" ] && targets=(--target ${BUILD_TARGETS})
  cmake -S "$SRC_DIR" -B "$dir" "${args[@]}" "$@" >"$dir.configure.log" 2>&1 || {
    mkdir -p "$dir"; cat "$dir.configure.log" >&2; return 1; }
  cmake --build "$dir" -j"$JOBS" "${targets[@]}" 2>&1 | tee "$dir.build.log" | grep -E 'warning|error|Error' || true
  [ "${PIPESTATUS[0]}" = 0 ]
}

# Makes (once) the Wine prefix of a Windows build: no Mono/Gecko prompts, no window manager
# waits (Managed=N), and a print-to-file printer when the build has its setup tool.
# A prefix is whole once wineboot has put the system DLLs in place.
prefix_whole() { [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; }

wine_prefix() {  # build-dir
  local dir=$1 attempt
  export WINEPREFIX=$dir/wineprefix
  if [ ! -f "$WINEPREFIX/.saucelins-ready" ] || ! prefix_whole; then
    # A wineboot that stops half-way (seen once, with nothing in system32) leaves a prefix in
    # which no program starts: start again from nothing, once, before giving up.
    for attempt in 1 2; do
      echo "== Making the Wine prefix $WINEPREFIX"
      wineserver -k </dev/null >/dev/null 2>&1
      rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
      wineboot -i </dev/null >"$dir/wineboot.log" 2>&1
      wineserver -w
      prefix_whole && break
      echo "wineboot left an incomplete prefix (log: $dir/wineboot.log)" >&2
    done
    prefix_whole || return 1
    "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.saucelins-ready"
  fi
  if [ -x "$dir/setup_printer.exe" ] || [ -f "$dir/setup_printer.exe" ]; then
    if [ ! -f "$WINEPREFIX/.saucelins-printer" ]; then
      xvfb-run -a "$WINE64" "$dir/setup_printer.exe" </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.saucelins-printer"
      wineserver -w
    fi
  fi
}
