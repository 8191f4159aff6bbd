#!/usr/bin/env bash
# Makes the Windows packages of Saucelins under build/dist/:
#   saucelins-VERSION-x86.msi    the release (i686) program and saucelins-cli, for 32- and
#                                64-bit Windows
#   saucelins-VERSION-x64.msi    the same from the x86_64 build (the one that runs here)
#   saucelins-VERSION-win32.zip  the release program, the tool, the sample catalogue and a
#                                French read-me, to run from any folder
# VERSION is the project version of CMakeLists.txt, as the build wrote it.
#
# Usage: scripts/package.sh [--test]
#   --test  then installs the x64 package under Wine in a fresh prefix, over an older version
#           of itself, and checks the install, the program started from its Start-menu
#           shortcut, a memo, and the uninstall that keeps the catalogue
set -u
. "$(dirname "$0")/common.sh"

DIST=$BUILD_ROOT/dist
WXS=$SRC_DIR/installer/saucelins.wxs
# The catalogue components: permanent (16) and never overwriting an existing file (128).
CATALOGUE_ATTRIBUTES=144
# The Upgrade row that removes earlier versions also removes the same version (512,
# maximum inclusive), so that a rebuilt package replaces the one installed.
UPGRADE_ATTRIBUTES=513

die() { echo "package: $*" >&2; exit 1; }

TEST=0
case "${1:-}" in
  "") ;;
  --test) TEST=1 ;;
  --installed-test) ;;  # internal: the install test, inside its virtual screen
  -h|--help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

# ---- building -----------------------------------------------------------------------------

# The two Windows builds, the shipped targets only; each log goes beside the packages.
build() {  # name toolchain
  local dir=$BUILD_ROOT/$1 log=$DIST/build-$1.log
  echo "== Building $1"
  { cmake -S "$SRC_DIR" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$SRC_DIR/cmake/$2" &&
    cmake --build "$dir" -j"$JOBS" --target saucelins saucelins-cli; } >"$log" 2>&1 ||
    die "the $1 build failed (log: $log)"
  if grep -q 'warning:' "$log"; then die "the $1 build has compiler warnings (log: $log)"; fi
}

# A folder with what a package ships: the stripped executables and the sample catalogue.
stage() {  # build-name triple stage-dir
  local from=$BUILD_ROOT/$1 to=$3 f
  rm -rf "$to"; mkdir -p "$to"
  for f in saucelins.exe saucelins-cli.exe; do
    "$2-strip" --strip-all -o "$to/$f" "$from/$f" || die "cannot strip $from/$f"
  done
  cp "$SRC_DIR"/sample/*.Idx "$SRC_DIR"/sample/*.Dat "$to/"
}

# A table of a package, as tab-separated lines (the first three name the columns).
msi_table() { msiinfo export "$1" "$2" | tr -d '\r'; }

# Builds an MSI from a stage; sets what wixl leaves out and checks the result.
make_msi() {  # stage-dir arch(x86|x64) version out.msi
  local stage=$1 arch=$2 version=$3 out=$4 log=$4.log template
  rm -f "$out"
  (cd "$stage" && wixl -a "$arch" -D Version="$version" -D Platform="$arch" -o "$out" "$WXS") \
    >"$log" 2>&1 || die "wixl failed (log: $log)"
  [ "$arch" = x64 ] && template="x64;1036" || template="Intel;1036"
  local code
  code=$(msi_table "$out" Property | awk -F'\t' '$1 == "UpgradeCode" { print $2 }')
  # Attributes is part of the Upgrade table's key: the row is replaced, not updated.
  msibuild "$out" \
    -q "UPDATE Component SET Attributes = $CATALOGUE_ATTRIBUTES WHERE Directory_ = 'CATALOGUEDIR'" \
    -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
    -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty)
        VALUES ('$code', '$version', $UPGRADE_ATTRIBUTES, 'WIX_UPGRADE_DETECTED')" \
    -s "Saucelins, le livre de recettes" "T. Brenner" "$template" >>"$log" 2>&1 || die "msibuild failed on $out (log: $log)"

  # Every catalogue component is marked, and the package holds exactly the staged files.
  local marked unmarked
  marked=$(msi_table "$out" Component | awk -F'\t' -v a="$CATALOGUE_ATTRIBUTES" \
    '$3 == "CATALOGUEDIR" && $4 == a' | wc -l)
  unmarked=$(msi_table "$out" Component | awk -F'\t' -v a="$CATALOGUE_ATTRIBUTES" \
    '$3 == "CATALOGUEDIR" && $4 != a' | wc -l)
  [ "$marked" -gt 0 ] && [ "$unmarked" = 0 ] || die "$out: catalogue components not marked permanent"
  msi_table "$out" Upgrade | grep -qx "$code		$version		$UPGRADE_ATTRIBUTES		WIX_UPGRADE_DETECTED" ||
    die "$out: the upgrade row was not set"
  local shipped staged
  shipped=$(msi_table "$out" File | tail -n +4 | cut -f3 | sort | tr '\n' ' ')
  staged=$(ls "$stage" | sort | tr '\n' ' ')
  [ "$shipped" = "$staged" ] || die "$out ships [$shipped] but the stage holds [$staged]: update $WXS"
}

# The portable archive: one folder named after the version, the catalogue beside the program.
make_zip() {  # stage-dir version out.zip
  local root=$DIST/zip-stage name=saucelins-$2
  rm -rf "$root" "$3"; mkdir -p "$root/$name"
  cp "$1"/* "$root/$name/"
  # Windows-1252 with CR LF, what Notepad on every Windows reads.
  sed "s/@VERSION@/$2/g; s/\$/\r/" "$SRC_DIR/installer/LISEZMOI.txt" |
    iconv -f UTF-8 -t CP1252 >"$root/$name/LISEZMOI.txt" || die "cannot write the read-me"
  (cd "$root" && cmake -E tar cf "$3" --format=zip "$name") || die "cannot make $3"
}

package_all() {
  mkdir -p "$DIST"
  build win32 toolchain-mingw-i686.cmake
  build win64 toolchain-mingw-x86_64.cmake
  VERSION=$(cat "$BUILD_ROOT/win32/version.txt")
  [ -n "$VERSION" ] && [ "$VERSION" = "$(cat "$BUILD_ROOT/win64/version.txt")" ] ||
    die "the two builds do not have the same version (reconfigure them)"
  stage win32 i686-w64-mingw32 "$DIST/stage-x86"
  stage win64 x86_64-w64-mingw32 "$DIST/stage-x64"
  cp "$BUILD_ROOT/win32/art/program.ico" "$DIST/program.ico"
  rm -f "$DIST"/saucelins-*.msi "$DIST"/saucelins-*.zip "$DIST"/saucelins-*.log
  echo "== Packaging Saucelins $VERSION"
  make_msi "$DIST/stage-x86" x86 "$VERSION" "$DIST/saucelins-$VERSION-x86.msi"
  make_msi "$DIST/stage-x64" x64 "$VERSION" "$DIST/saucelins-$VERSION-x64.msi"
  make_zip "$DIST/stage-x86" "$VERSION" "$DIST/saucelins-$VERSION-win32.zip"
  local f
  for f in "$DIST"/saucelins-"$VERSION"-*.msi "$DIST"/saucelins-"$VERSION"-*.zip; do
    printf '%-36s %8d bytes\n' "${f##*/}" "$(stat -c %s "$f")"
  done
}

# ---- the install test ---------------------------------------------------------------------

T0=$(date +%s%N)
step() { local t=$(( ($(date +%s%N) - T0) / 100000000 )); printf '[%3d.%d s] %s\n' $((t / 10)) $((t % 10)) "$*"; }
FAILURES=0
check() {  # description command...
  local what=$1; shift
  if "$@"; then echo "  ok    $what"; else echo "  FAIL  $what"; FAILURES=$((FAILURES + 1)); fi
}

# What the checks below use, under the test's prefix.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
msi_run() { "$WINE64" msiexec "$@" </dev/null >/dev/null 2>&1; }
installed() { "$WINE64" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" </dev/null >/dev/null 2>&1; }
not_installed() { ! installed "$1"; }
not() { ! "$@"; }
product_code() { msi_table "$1" Property | awk -F'\t' '$1 == "ProductCode" { print $2 }'; }
TOOL='C:\Program Files\Saucelins\saucelins-cli.exe'
tool() { "$WINE64" "$TOOL" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
has_line() { grep -qxF -- "$1"; }
lnk_has() { tr -d '\0' <"$1" | grep -qF -- "$2"; }  # UTF-16 strings lose their NUL bytes
main_window() { xdotool search --onlyvisible --name 'Prgm Saucelins Par' 2>/dev/null | tail -1; }
same_files() {  # dir-a dir-b names...
  local a=$1 b=$2 f; shift 2
  for f in "$@"; do cmp -s "$a/$f" "$b/$f" || return 1; done
}
all_there() {  # dir names...
  local d=$1 f; shift
  for f in "$@"; do [ -f "$d/$f" ] || return 1; done
}

# Runs inside a virtual screen (see the end of this script).
installed_test() {
  local scratch=$BUILD_ROOT/package-test version msi old
  version=$(cat "$BUILD_ROOT/win64/version.txt")
  msi=$DIST/saucelins-$version-x64.msi
  old=$scratch/saucelins-0.0.1-x64.msi
  [ -f "$msi" ] || die "no package $msi"

  # Under Wine the documents folder is the Unix home: a scratch home, set before the prefix
  # is made, keeps the test out of the real one.
  rm -rf "$scratch"; mkdir -p "$scratch/home"
  export HOME=$scratch/home WINEPREFIX=$scratch/prefix
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
  local drive=$WINEPREFIX/drive_c
  local programs="$drive/Program Files/Saucelins"
  local catalogue="$HOME/Recettes Saucelins"
  step "making a fresh Wine prefix"
  local attempt
  for attempt in 1 2; do
    # wineboot has been seen to stop half-way on a loaded machine: once more from nothing.
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >"$scratch/wineboot.log" 2>&1; wineserver -w
    [ -f "$drive/windows/system32/kernel32.dll" ] && break
  done
  [ -f "$drive/windows/system32/kernel32.dll" ] || die "wineboot left no prefix (log: $scratch/wineboot.log)"

  # An older version of this package, as a previous release would be.
  make_msi "$DIST/stage-x64" x64 0.0.1 "$old"
  local old_code new_code
  old_code=$(product_code "$old"); new_code=$(product_code "$msi")

  step "installing version 0.0.1; the user renames a recipe"
  check "silent install of 0.0.1" msi_run /i "$(winpath "$old")" /qn /l*v "$(winpath "$scratch/install-old.log")"
  check "0.0.1 installed the index" test -f "$catalogue/Gourmix.Idx"
  sed -i 's/\tPotage Parmentier\t/\tPotage Parmentier maison\t/' "$catalogue/Gourmix.Idx"
  check "the index was edited" grep -q 'Parmentier maison' "$catalogue/Gourmix.Idx"

  step "installing $version over it"
  check "silent install of $version" msi_run /i "$(winpath "$msi")" /qn /l*v "$(winpath "$scratch/install.log")"
  check "$version is installed" installed "$new_code"
  check "0.0.1 is no longer installed" not_installed "$old_code"
  check "the program and the tool are in Program Files\\Saucelins" \
    same_files "$programs" "$DIST/stage-x64" saucelins.exe saucelins-cli.exe
  check "nothing else is there" test "$(ls "$programs" | wc -l)" = 2
  check "the upgrade kept the edited index" grep -q 'Parmentier maison' "$catalogue/Gourmix.Idx"
  check "the recipe bases are the sample's" same_files "$catalogue" "$SRC_DIR/sample" Gourmix.Dat Desserts.Dat
  local links lnk
  links=$(find "$drive" -name 'Saucelins.lnk')
  lnk=$(head -1 <<<"$links")
  check "one shortcut Saucelins, in the Start menu's programs" \
    test "$(wc -l <<<"$links")" = 1 -a "${lnk%/Start Menu/Programs/Saucelins.lnk}" != "$lnk"
  check "the shortcut starts the installed program" lnk_has "$lnk" 'C:\Program Files\Saucelins\saucelins.exe'
  check "the shortcut works in the catalogue folder" lnk_has "$lnk" '\Documents\Recettes Saucelins'
  check "saucelins-cli --version says $version" has_line "saucelins-cli, Version $version" < <(tool --version)
  check "0.0.1 refuses to go over $version" not msi_run /i "$(winpath "$old")" /qn /l*v "$(winpath "$scratch/downgrade.log")"
  check "$version is still installed" installed "$new_code"

  step "starting the program from its shortcut"
  "$WINE64" start /unix "$lnk" </dev/null >"$scratch/start.log" 2>&1
  local window="" n=400
  # The main window takes its title once the catalogue of its working folder has loaded.
  while [ -z "$window" ] && [ $n -gt 0 ]; do window=$(main_window); sleep 0.1; n=$((n - 1)); done
  check "the main window shows the catalogue" test -n "$window"
  "$WINE64" taskkill /im saucelins.exe </dev/null >/dev/null 2>&1
  n=100
  while [ -n "$(main_window)" ] && [ $n -gt 0 ]; do sleep 0.1; n=$((n - 1)); done
  check "the program closed" test -z "$(main_window)"

  step "writing a memo there with the installed tool"
  local memo="Note du paquet $version"
  (cd "$catalogue" && "$WINE64" "$TOOL" memo set 1003 "$memo" </dev/null >/dev/null 2>&1)
  check "the memo store is in the catalogue" test -f "$catalogue/Gourmix.mem"
  check "the memo reads back" has_line "$memo" < <(cd "$catalogue" && tool memo get 1003)

  step "uninstalling"
  check "silent uninstall" msi_run /x "$(winpath "$msi")" /qn /l*v "$(winpath "$scratch/uninstall.log")"
  check "the product is no longer installed" not_installed "$new_code"
  check "Program Files\\Saucelins is gone" test ! -e "$programs"
  check "the shortcut is gone" test -z "$(find "$drive" -name 'Saucelins.lnk')"
  check "the index, the bases and the memo store are still there" \
    all_there "$catalogue" Gourmix.Idx Gourmix.Dat Desserts.Dat Gourmix.mem
  check "the index still has the user's edit" grep -q 'Parmentier maison' "$catalogue/Gourmix.Idx"
  check "the memo is still in the store" grep -qaF "$memo" "$catalogue/Gourmix.mem"

  # The release package cannot run here (no 32-bit code), but it installs and goes.
  local x86=$DIST/saucelins-$version-x86.msi programs86="$drive/Program Files (x86)/Saucelins"
  step "installing and removing the x86 package"
  check "silent install of the x86 package" msi_run /i "$(winpath "$x86")" /qn /l*v "$(winpath "$scratch/install-x86.log")"
  check "its program and tool are in Program Files (x86)\\Saucelins" \
    same_files "$programs86" "$DIST/stage-x86" saucelins.exe saucelins-cli.exe
  check "its shortcut is in the Start menu" test -n "$(find "$drive" -path '*/Start Menu/Programs/Saucelins.lnk')"
  check "silent uninstall of the x86 package" msi_run /x "$(winpath "$x86")" /qn
  check "Program Files (x86)\\Saucelins is gone" test ! -e "$programs86"
  check "the catalogue is still there" all_there "$catalogue" Gourmix.Idx Gourmix.mem
  wineserver -k </dev/null >/dev/null 2>&1

  step "done: $FAILURES failed checks"
  [ "$FAILURES" = 0 ] || return 1
  rm -rf "$WINEPREFIX"  # 700 MB; the logs stay

}

# ---- main ---------------------------------------------------------------------------------

if [ "${1:-}" = --installed-test ]; then
  installed_test
  exit
fi
ensure_packages "$PKG_NATIVE $PKG_WINDOWS $PKG_PACKAGE" || exit 1
package_all
if [ $TEST = 1 ]; then
  ensure_packages "xdotool" || exit 1
  echo "== Installing the x64 package under Wine"
  start=$(date +%s)
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --installed-test
  rc=$?
  echo "install test: $(( $(date +%s) - start )) s, $([ $rc = 0 ] && echo passed || echo FAILED)"
  exit $rc
fi
