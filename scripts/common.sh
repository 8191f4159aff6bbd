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

# Debian packages each part needs, probed by package name (a command of the same name may be
# something else: these machines have a stand-in `convert` that is not ImageMagick).
# fonts-wine: the fonts Wine draws the program with (title-bar buttons, dialogs); a recommended
# package of wine that --no-install-recommends leaves out.
PKG_NATIVE="cmake g++ googletest"
PKG_WINDOWS="g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 fonts-wine xvfb xauth"
PKG_E2E="xdotool imagemagick"
PKG_FUZZ="clang libclang-rt-14-dev"
PKG_I386="g++-multilib qemu-user"
PKG_PACKAGE="wixl msitools"   # wixl makes the MSI files, msitools edits their tables

package_installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# ensure_packages "pkg ..." : installs what is missing when root, else names it and fails.
# Checks afterwards that every package really is installed.
ensure_packages() {
  local missing=() pkg
  for pkg in $*; do
    package_installed "$pkg" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== Installing: ${missing[*]}"
    if [ ! -e "$BUILD_ROOT/.apt-updated" ]; then
      apt-get update -qq && mkdir -p "$BUILD_ROOT" && touch "$BUILD_ROOT/.apt-updated"
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$BUILD_ROOT/apt.log" 2>&1
    local still=()
    for pkg in "${missing[@]}"; do package_installed "$pkg" || still+=("$pkg"); done
    if [ ${#still[@]} -gt 0 ]; then
      echo "apt-get could not install: ${still[*]} (log: $BUILD_ROOT/apt.log)" >&2
      tail -5 "$BUILD_ROOT/apt.log" >&2
      return 1
    fi
  else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them as root: apt-get install --no-install-recommends ${missing[*]}" >&2
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
# waits (Managed=N), and a print-to-file printer when the build has its setup tool. Each step
# can fail without a word (wineboot stopping half-way, a `reg add` that leaves nothing on a
# loaded machine), so each is read back, redone once, and otherwise the set-up stops saying why.
prefix_whole() { [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; }
prefix_unmanaged() { grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; }
prefix_has_printer() {
  grep -q '^\[System\\\\CurrentControlSet\\\\Control\\\\Print\\\\Printers\\\\Saucelins PostScript\]' \
    "$WINEPREFIX/system.reg" 2>/dev/null
}

# Wine 8 as Debian packages it does not look in its own font folder (fonts-wine's
# /usr/share/wine/fonts): without Marlett the title bars draw their buttons as "0 1 r", and
# dialogs fall back to DejaVu Sans. A prefix's C:\windows\Fonts is searched, so they go there.
WINE_FONTS=/usr/share/wine/fonts
prefix_has_fonts() { [ -s "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; }
add_fonts() { cp -f "$WINE_FONTS"/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null; }

make_prefix() {  # build-dir: a new prefix from nothing
  wineserver -k </dev/null >/dev/null 2>&1
  rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >"$1/wineboot.log" 2>&1
  wineserver -w
}

set_unmanaged() {  # build-dir
  "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >"$1/wine-reg.log" 2>&1
  wineserver -w   # the registry reaches user.reg when the server ends
}

wine_prefix() {  # build-dir
  local dir=$1 attempt
  export WINEPREFIX=$dir/wineprefix
  if [ ! -f "$WINEPREFIX/.saucelins-ready" ] || ! prefix_whole || ! prefix_unmanaged; then
    for attempt in 1 2; do
      if ! prefix_whole; then
        echo "== Making the Wine prefix $WINEPREFIX"
        make_prefix "$dir"
        prefix_whole || { echo "wineboot left an incomplete prefix (log: $dir/wineboot.log)" >&2; continue; }
      fi
      prefix_unmanaged || set_unmanaged "$dir"
      prefix_unmanaged && break
      echo "the Managed=N key did not reach $WINEPREFIX/user.reg (log: $dir/wine-reg.log)" >&2
    done
    if ! prefix_whole; then
      echo "Wine set-up failed: wineboot twice left no system32 in $WINEPREFIX (log: $dir/wineboot.log)" >&2
      return 1
    fi
    if ! prefix_unmanaged; then
      echo "Wine set-up failed: 'reg add ... X11 Driver /v Managed /d N' twice left no key in $WINEPREFIX/user.reg (log: $dir/wine-reg.log)" >&2
      return 1
    fi
    touch "$WINEPREFIX/.saucelins-ready"
  fi
  if ! prefix_has_fonts; then
    add_fonts
    prefix_has_fonts || add_fonts
    if ! prefix_has_fonts; then
      echo "Wine set-up failed: no marlett.ttf could be put into $WINEPREFIX/drive_c/windows/Fonts (from $WINE_FONTS, package fonts-wine)" >&2
      return 1
    fi
  fi
  if [ -f "$dir/setup_printer.exe" ] && ! prefix_has_printer; then
    for attempt in 1 2; do
      xvfb-run -a "$WINE64" "$dir/setup_printer.exe" </dev/null >"$dir/setup_printer.log" 2>&1
      wineserver -w
      prefix_has_printer && break
    done
    if ! prefix_has_printer; then
      echo "Wine set-up failed: setup_printer.exe twice left no printer \"Saucelins PostScript\" in $WINEPREFIX (log: $dir/setup_printer.log)" >&2
      return 1
    fi
  fi
  return 0
}
