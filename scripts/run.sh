#!/usr/bin/env bash
# Builds the program (x86_64, which runs here under wine64) and starts it on the bundled
# sample catalogue, in a working folder of its own: the repository's sample files are copied
# there once and never modified. Usage: scripts/run.sh [--reset]  (--reset: fresh copy)
set -u
. "$(dirname "$0")/common.sh"
ensure_packages "$PKG_NATIVE $PKG_WINDOWS" || exit 1
echo "== Building the program"
configure_build win64 toolchain-mingw-x86_64.cmake || { echo "build failed" >&2; exit 1; }
work=$BUILD_ROOT/run
if [ "${1:-}" = "--reset" ] || [ ! -f "$work/Gourmix.Idx" ]; then
  rm -rf "$work"; mkdir -p "$work"
  cp "$SRC_DIR"/sample/*.Dat "$SRC_DIR"/sample/*.Idx "$work"/
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "No X display (DISPLAY is not set): the program needs one to show its window." >&2
  echo "Run it on a virtual screen instead:  xvfb-run -a $0" >&2
  exit 1
fi
wine_prefix "$BUILD_ROOT/win64"
echo "== Starting Saucelins in $work"
cd "$work" && exec "$WINE64" "$BUILD_ROOT/win64/saucelins.exe"
