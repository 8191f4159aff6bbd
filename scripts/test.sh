#!/usr/bin/env bash
# Builds every target and runs every test:
#   native core tests (g++), the same under AddressSanitizer + UBSan, the fuzz targets for a
#   bounded time, the Win32 tests and the end-to-end tests under xvfb-run + wine64, and the
#   i686 release build, and the core suite built 32-bit and run under qemu-i386. Ends with a
#   summary that says how long each stage took; exits non-zero on any failure.
# Usage: scripts/test.sh [--only native|asan|fuzz|win64|win32|i386|e2e|package|bench]...
set -u
. "$(dirname "$0")/common.sh"

ONLY=()
while [ $# -gt 0 ]; do
  case "$1" in
    --only) ONLY+=("$2"); shift 2 ;;
    *) echo "usage: $0 [--only STAGE]..." >&2; exit 2 ;;
  esac
done
want() { [ ${#ONLY[@]} -eq 0 ] && return 0; local s; for s in "${ONLY[@]}"; do [ "$s" = "$1" ] && return 0; done; return 1; }

mkdir -p "$BUILD_ROOT"
SUMMARY=()
FAILED=0
START=$(date +%s)
STAGE_T0=$START
begin() { STAGE_T0=$(date +%s); }   # a stage's clock starts
record() {  # stage status detail: one summary line, with the time since the stage began
  SUMMARY+=("$(printf '%-9s %-5s %4ss  %s' "$1" "$2" "$(( $(date +%s) - STAGE_T0 ))" "$3")")
  [ "$2" = PASS ] || FAILED=1
  STAGE_T0=$(date +%s)
}

summary() {
  echo
  echo "================ Summary ($(( $(date +%s) - START )) s) ================"
  echo "stage     result time  detail"
  printf '%s\n' "${SUMMARY[@]}"
  if [ $FAILED = 0 ]; then echo "ALL PASSED"; else echo "SOME STAGES FAILED"; fi
}

# ctest_stage NAME BUILD_DIR [ctest args]: runs ctest and records passed/failed counts.
ctest_stage() {
  local name=$1 dir=$2; shift 2
  local log=$dir.ctest.log
  ctest --test-dir "$dir" --verbose "$@" >"$log" 2>&1
  local rc=$?
  grep -E '^\s*[0-9]+/[0-9]+ Test|tests passed|Failed|\*\*\*' "$log" | tail -40
  local line; line=$(grep -E 'tests passed' "$log" | tail -1)
  local total failed
  total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line")
  failed=$(sed -nE 's/.*, ([0-9]+) tests? failed.*/\1/p' <<<"$line")
  total=${total:-0}; failed=${failed:-0}
  # Count the GoogleTest cases inside the executables too.
  local cases passed_cases failed_cases
  passed_cases=$(grep -cE '^([0-9]+: )?\[       OK \]' "$log")
  failed_cases=$(grep -cE '^([0-9]+: )?\[  FAILED  \] [A-Za-z].*\(' "$log")
  cases="$passed_cases cases passed, $failed_cases failed"
  if [ $rc -eq 0 ] && [ "$total" -gt 0 ]; then
    record "$name" PASS "$((total - failed))/$total test programs passed; $cases"
  else
    record "$name" FAIL "$((total - failed))/$total test programs passed; $cases (log: $log)"
    grep -E '^\[  FAILED  \]|Failure|Timeout|Exception' "$log" | head -20
  fi
}

build_stage() {  # name toolchain [cmake args]
  local name=$1
  echo "== Building $name"
  if configure_build "$@"; then
    # A static glibc link warns about getaddrinfo, which only GoogleTest's streaming names.
    local w; w=$(grep 'warning:' "$BUILD_ROOT/$name.build.log" | grep -vc 'statically linked applications requires at runtime' || true)
    if [ "$w" -gt 0 ]; then
      record "$name-bld" FAIL "$w compiler warnings (log: $BUILD_ROOT/$name.build.log)"
      return 0
    fi
    record "$name-bld" PASS "built without warnings"
    return 0
  fi
  record "$name-bld" FAIL "build failed (log: $BUILD_ROOT/$name.build.log)"
  return 1
}

ensure_packages "$PKG_NATIVE" || exit 1
if want win64 || want win32 || want e2e; then ensure_packages "$PKG_WINDOWS $PKG_E2E" || exit 1; fi
if want fuzz || want asan; then ensure_packages "$PKG_FUZZ" || exit 1; fi
if want i386; then ensure_packages "$PKG_I386" || exit 1; fi

if want native; then
  begin
  if build_stage native ""; then
    echo "== Native tests"
    ctest_stage native "$BUILD_ROOT/native"
  fi
fi

# One clang build serves the sanitizer run of the whole suite and the fuzz targets.
SANITIZED_OK=0
if want asan || want fuzz; then
  begin
  build_stage asan "" -DSAUCELINS_SANITIZE=ON -DSAUCELINS_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ && SANITIZED_OK=1
fi

if want asan && [ $SANITIZED_OK = 1 ]; then
  begin
  echo "== Native tests under AddressSanitizer + UBSan"
  # Stack use after return and initialisation order too; any report ends the test program.
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1 \
    UBSAN_OPTIONS=print_stacktrace=1 ctest_stage asan "$BUILD_ROOT/asan"
  # A report from a child process or a test that carried on still counts.
  if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$BUILD_ROOT/asan.ctest.log"; then
    record asan-rep FAIL "sanitizer report in $BUILD_ROOT/asan.ctest.log"
  fi
fi

fuzz_stage() {
  begin
  echo "== Fuzz targets (bounded)"
  FUZZ_BUILD_DIR=$BUILD_ROOT/asan "$SRC_DIR/scripts/fuzz.sh" --seconds "${FUZZ_SECONDS:-20}" >"$BUILD_ROOT/fuzz.run.log" 2>&1
  local rc=$?
  tail -n 12 "$BUILD_ROOT/fuzz.run.log"
  local n; n=$(grep -c '^fuzz target ' "$BUILD_ROOT/fuzz.run.log" || true)
  if [ $rc -eq 0 ]; then record fuzz PASS "$n targets ran without a report"
  else record fuzz FAIL "a target reported (log: $BUILD_ROOT/fuzz.run.log)"; fi
}

# The release is 32-bit and cannot run here; the portable core's suite (the command-line tool's
# tests among it) built 32-bit runs under qemu-i386, a user-mode emulator.
i386_stage() {
  begin
  if BUILD_TARGETS="core_tests saucelins-cli" build_stage i386 toolchain-linux-i386.cmake; then
    echo "== Core tests, 32-bit, under qemu-i386"
    local log=$BUILD_ROOT/i386.tests.log rc passed
    (cd "$BUILD_ROOT/i386" && qemu-i386 ./core_tests) >"$log" 2>&1
    rc=$?
    passed=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
    if [ $rc -eq 0 ] && [ -n "$passed" ]; then
      record i386 PASS "$passed cases passed under qemu-i386"
    else
      record i386 FAIL "core tests failed under qemu-i386 (log: $log)"
      grep -E '^\[  FAILED  \]' "$log" | head -20
    fi
  fi
}

# Stages that leave a processor idle (the Wine tests, the end-to-end scenarios) have another
# stage running beside them: in_background NAME FUNCTION starts it with its own summary lines,
# collect NAME waits for it and adds them.
declare -A BG_PID
in_background() {
  ( SUMMARY=(); FAILED=0; "$2" >"$BUILD_ROOT/$1.stage.log" 2>&1
    printf '%s\n' "${SUMMARY[@]}" >"$BUILD_ROOT/$1.summary"; exit $FAILED ) &
  BG_PID[$1]=$!
}
collect() {
  [ -n "${BG_PID[$1]:-}" ] || return 0
  wait "${BG_PID[$1]}" || FAILED=1
  cat "$BUILD_ROOT/$1.stage.log"
  local line
  while IFS= read -r line; do [ -n "$line" ] && SUMMARY+=("$line"); done <"$BUILD_ROOT/$1.summary"
  unset "BG_PID[$1]"
}

FUZZ_PENDING=0
want fuzz && [ $SANITIZED_OK = 1 ] && FUZZ_PENDING=1

if want win64; then
  begin
  if build_stage win64 toolchain-mingw-x86_64.cmake; then
    # The fuzz targets run beside the Wine tests, which keep about one processor busy.
    [ $FUZZ_PENDING = 1 ] && { in_background fuzz fuzz_stage; FUZZ_PENDING=0; }
    echo "== Win32 tests under Wine"
    # A prefix that did not take (the message says which step) stops the command: every Wine
    # stage after it would fail or crawl for the same reason.
    wine_prefix "$BUILD_ROOT/win64" || { record wine-set FAIL "the Wine prefix could not be set up"; summary; exit 1; }
    export WINEPREFIX=$BUILD_ROOT/win64/wineprefix
    # Wine's helpers start before ctest, so its pipes are not inherited by a lingering server.
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c \
      'wineboot </dev/null >/dev/null 2>&1; ctest --test-dir "$0" --verbose -j1 >"$0.ctest.log" 2>&1; rc=$?; wineserver -k; exit $rc' \
      "$BUILD_ROOT/win64"
    # reuse the ctest log parser on the log just written
    ctest_parse_only=1
    log=$BUILD_ROOT/win64.ctest.log
    line=$(grep -E 'tests passed' "$log" | tail -1)
    total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line"); failed=$(sed -nE 's/.*, ([0-9]+) tests? failed.*/\1/p' <<<"$line")
    total=${total:-0}; failed=${failed:-0}
    pc=$(grep -cE '^([0-9]+: )?\[       OK \]' "$log"); fc=$(grep -cE '^([0-9]+: )?\[  FAILED  \] [A-Za-z].*\(' "$log")
    grep -E '^\s*[0-9]+/[0-9]+ Test' "$log"
    if [ "$total" -gt 0 ] && [ "$failed" = 0 ]; then
      record win64 PASS "$total/$total test programs passed; $pc cases passed, $fc failed"
    else
      record win64 FAIL "$((total - failed))/$total test programs passed; $pc cases passed, $fc failed (log: $log)"
      grep -E '^\[  FAILED  \]|Failure|Timeout' "$log" | head -20
    fi
  fi
fi

# The 32-bit build (one compile job) starts beside the fuzz targets' last seconds and goes on
# beside the end-to-end and package stages, which mostly wait on Wine.
if want i386; then
  if want fuzz || want e2e || want package; then JOBS=1 in_background i386 i386_stage; else i386_stage; fi
fi

collect fuzz
[ $FUZZ_PENDING = 1 ] && fuzz_stage

if want win32; then
  # The release: the program and the command-line tool (the test programs run from win64).
  begin
  BUILD_TARGETS="saucelins saucelins-cli" build_stage win32 toolchain-mingw-i686.cmake || true
fi

if want e2e && [ -x "$SRC_DIR/scripts/e2e.sh" ]; then
  begin
  echo "== End-to-end tests"
  if "$SRC_DIR/scripts/e2e.sh" >"$BUILD_ROOT/e2e.log" 2>&1; then
    record e2e PASS "$(grep -c '^PASS' "$BUILD_ROOT/e2e.log") scenarios passed"
  else
    record e2e FAIL "$(grep -c '^PASS' "$BUILD_ROOT/e2e.log") passed, $(grep -c '^FAIL' "$BUILD_ROOT/e2e.log") failed (log: $BUILD_ROOT/e2e.log)"
    grep '^FAIL' "$BUILD_ROOT/e2e.log" | head
  fi
fi

# The Windows packages, and the x64 one installed, used and removed under Wine.
if want package && [ -x "$SRC_DIR/scripts/package.sh" ]; then
  begin
  echo "== Windows packages and the install test"
  if "$SRC_DIR/scripts/package.sh" --test >"$BUILD_ROOT/package.log" 2>&1; then
    record package PASS "$(grep -c '^  ok ' "$BUILD_ROOT/package.log") install checks passed in $(sed -n 's/^install test: \([0-9]*\) s.*/\1/p' "$BUILD_ROOT/package.log") s; $(grep -E '^saucelins-.*bytes$' "$BUILD_ROOT/package.log" | awk '{printf "%s%s %d KB", sep, $1, $2 / 1024; sep = ", "}')"
  else
    record package FAIL "$(grep -c '^  FAIL ' "$BUILD_ROOT/package.log") install checks failed (log: $BUILD_ROOT/package.log)"
    grep -E '^  FAIL |^package: ' "$BUILD_ROOT/package.log" | head
  fi
fi

collect i386

if want bench && [ -x "$SRC_DIR/scripts/bench.sh" ]; then
  begin
  echo "== Benchmarks at a tiny size (works, not timed)"
  if "$SRC_DIR/scripts/bench.sh" --tiny >"$BUILD_ROOT/bench-tiny.log" 2>&1; then
    record bench PASS "tiny run completed"
  else
    record bench FAIL "tiny run failed (log: $BUILD_ROOT/bench-tiny.log)"
  fi
fi

summary
exit $FAILED
