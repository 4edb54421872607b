#!/usr/bin/env bash
# The whole test suite: native build and tests, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the Windows x86_64 build
# with its tests under Wine, the Windows i686 build (the shipped target)
# with its tests under 32-bit Wine, the fuzzers on their seed corpora and
# the mail tests against a real Dovecot. Every GoogleTest case is a test
# of its own; the last line is "N passed, N failed, N skipped" over every
# stage, and the exit status is non-zero when anything failed. A stage
# that cannot run (no Wine prefix, a missing folder, no ctest summary)
# counts as a failure, never as nothing; only the i686 tests, when this
# machine cannot run 32-bit Wine programs, count as one skipped test with
# the reason in the summary.
#
# Environment:
#   QV_OUT        build root (default: out/ in the source tree)
#   QV_JOBS       parallel build and test jobs (default 2)
#   QV_STAGES     stages to run (default "native asan win64 win32 fuzz mail")
#   QV_FUZZ_SECONDS  time per fuzz target (default 60; with more than three
#                    targets they share 180 s, at least 20 s each)
set -u -o pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
out=${QV_OUT:-$root/out}
jobs=${QV_JOBS:-2}
stages=${QV_STAGES:-native asan win64 win32 fuzz mail}
fuzz_seconds=${QV_FUZZ_SECONDS:-}

total_passed=0
total_failed=0
total_skipped=0
summary=()
problems=()
skips=()
start_all=$SECONDS

bash scripts/install-deps.sh || {
  echo "test.sh: installing the dependencies failed"
  echo "0 passed, 1 failed, 0 skipped"
  exit 1
}

note() { printf '\n==== %s ====\n' "$*"; }

# record STAGE PASSED FAILED SKIPPED SECONDS
record() {
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
  total_skipped=$((total_skipped + $4))
  summary+=("$(printf '%-8s %5d passed %4d failed %4d skipped %5ds' "$1" "$2" "$3" "$4" "$5")")
}

# problem STAGE MESSAGE: says what went wrong now and again in the summary.
problem() {
  echo "test.sh: $1: $2"
  problems+=("$1: $2")
}

# skip STAGE SECONDS MESSAGE: a stage this machine cannot run, counted as
# one skipped test (never as passed) with the reason in the summary.
skip() {
  echo "test.sh: $1: skipped: $3"
  skips+=("$1: $3")
  record "$1" 0 0 1 "$2"
}

# fail STAGE SECONDS MESSAGE: a stage that could not run is one failure.
fail() {
  problem "$1" "$3"
  record "$1" 0 1 0 "$2"
}

# count_log STAGE LOG EXIT_STATUS STAGE_START: records the counts of the
# last ctest run in LOG. CTest counts a skipped test (GTEST_SKIP) among the
# passed ones in its summary and lists it under "The following tests did
# not run" as "(Skipped)"; here it is counted as skipped only. A disabled
# test, listed there as "(Disabled)", is outside the summary's count and is
# counted as skipped too. A run without
# a summary (ctest or Wine setup failed, nothing to test) and a failed run
# without a failed test in its summary (a crash) count as one failure.
# not_run WHY LOG: the number of tests listed as "(WHY)" after the last
# ctest summary in LOG.
not_run() {
  awk -v why="($1)" '/^[0-9]+% tests passed, /{n=0}
    /^[[:space:]]+[0-9]+ - / {sub(/[[:space:]]+$/, ""); if (substr($0, length($0) - length(why) + 1) == why) n++}
    END{print n+0}' "$2"
}

count_log() {
  local line total passed=0 failed=0 skipped=0 disabled=0
  line=$(grep -aE '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$2" 2>/dev/null | tail -1)
  if [[ -z $line ]]; then
    fail "$1" $((SECONDS - $4)) "no ctest summary in $2 (exit status $3); counted as one failure"
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  # The lists after the last summary: one "  NN - name (Skipped)" per test.
  skipped=$(not_run Skipped "$2")
  disabled=$(not_run Disabled "$2")
  passed=$((total - failed - skipped))
  skipped=$((skipped + disabled))
  if (($3 != 0 && failed == 0)); then
    problem "$1" "ctest exited with status $3 without a failed test; counted as one failure"
    failed=1
  fi
  record "$1" "$passed" "$failed" "$skipped" $((SECONDS - $4))
}

# run_ctest STAGE BUILD_DIR STAGE_START [ctest args...]
run_ctest() {
  local stage=$1 dir=$2 t0=$3
  shift 3
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs" "$@") 2>&1 | tee "$dir/ctest.log"
  count_log "$stage" "$dir/ctest.log" "${PIPESTATUS[0]}" "$t0"
}

# configure_and_build STAGE BUILD_DIR [cmake args...]: false (and one
# recorded failure) when configuring or building fails. QV_TARGETS, when
# set, names the ninja targets to build instead of everything.
configure_and_build() {
  local stage=$1 dir=$2 t0=$SECONDS
  shift 2
  if ! cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    fail "$stage" $((SECONDS - t0)) "configuring failed"
    return 1
  fi
  # shellcheck disable=SC2086 # a list of target names
  if ! ninja -C "$dir" -j"$jobs" ${QV_TARGETS:-}; then
    fail "$stage" $((SECONDS - t0)) "building failed"
    return 1
  fi
}

bench_args=()
if [[ -f bench/CMakeLists.txt ]]; then
  bench_args=(-DQV_BUILD_BENCH=ON)
fi

mkdir -p "$out"

stage_native() {
  local t0=$SECONDS dir=$out/native
  note "native build and tests (RelWithDebInfo)"
  configure_and_build native "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${bench_args[@]}" &&
    run_ctest native "$dir" "$t0"
}

stage_asan() {
  local t0=$SECONDS dir=$out/asan
  note "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
  configure_and_build asan "$dir" -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      run_ctest asan "$dir" "$t0"
}

wine=$(command -v wine64 || true)
if [[ -z $wine && -x /usr/lib/wine/wine64 ]]; then
  wine=/usr/lib/wine/wine64
fi
wineserver=$(dirname "${wine:-/usr/lib/wine/wine64}")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver || echo wineserver)
# The 32-bit loader itself (the "wine" script falls back to the 64-bit one,
# which cannot start a 32-bit program, when wine32 is missing).
wine32=/usr/lib/wine/wine

# wine_step LOG DESCRIPTION COMMAND...: runs one step of the Wine setup
# with a time limit; on failure says which step failed and shows its output.
wine_step() {
  local log=$1 what=$2
  shift 2
  timeout 300 "$@" >"$log" 2>&1 </dev/null
  local status=$?
  if ((status != 0)); then
    echo "test.sh: setting up Wine failed: $what (exit status $status)"
    tail -n 20 "$log"
    return 1
  fi
}

# Runs in a subshell: a private Wine prefix, created fresh, with no display
# (the null graphics driver) and no crash dialog, which would wait for ever
# for an answer. Any step that fails fails the stage.
setup_wine() {
  if [[ -z $wine ]]; then
    echo "test.sh: setting up Wine failed: wine64 not found"
    return 1
  fi
  local log=$WINEPREFIX.setup.log
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # No Mono or Gecko installers: nothing here needs them and there is no
  # one to answer their prompts.
  wine_step "$log" "wineboot -i" env WINEDLLOVERRIDES="mscoree=;mshtml=" "$wine" wineboot -i &&
    wine_step "$log" "the null graphics driver" \
      "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
    wine_step "$log" "turning off the crash dialog" \
      "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f ||
    return 1
  # Let the server write the registry out, then keep one server running
  # for the whole test run: every case is a Wine process of its own.
  "$wineserver" -w
  "$wineserver" -p60
  # Start the session's service and desktop processes now, with their
  # output going to the log. Started by the first test instead, they would
  # inherit ctest's output pipe and hold that test for half a minute or
  # more, until they exit.
  wine_step "$log" "starting the services and the desktop" \
    "$wine" rundll32.exe user32.dll,GetDesktopWindow
}

# wine_tests STAGE BUILD_DIR STAGE_START [CHECK...]: runs the stage's
# ctest in a fresh private prefix with one wineserver for the whole run.
# CHECK, when given, is a command run in the prefix first; when it fails
# the stage is skipped with its output as the reason.
wine_tests() {
  local stage=$1 dir=$2 t0=$3
  shift 3
  rm -f "$dir/ctest.log" "$dir/wine-check.log"
  (
    export WINEPREFIX=$dir/wineprefix WINEDEBUG=-all WINEARCH=win64
    unset DISPLAY WAYLAND_DISPLAY
    if ! setup_wine; then
      "$wineserver" -k 2>/dev/null
      exit 97
    fi
    if (($#)) && ! timeout 120 "$@" >"$dir/wine-check.log" 2>&1 </dev/null; then
      "$wineserver" -k 2>/dev/null
      exit 98
    fi
    cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs"
    rc=$?
    "$wineserver" -k 2>/dev/null
    exit $rc
  ) 2>&1 | tee "$dir/ctest.log"
  local status=${PIPESTATUS[0]}
  if ((status == 97)); then
    fail "$stage" $((SECONDS - t0)) "setting up the Wine prefix failed; no test ran"
    return
  fi
  if ((status == 98)); then
    skip "$stage" $((SECONDS - t0)) "the 32-bit Wine loader cannot run a program here ($(tr -s '\n' ' ' <"$dir/wine-check.log" | cut -c1-200))"
    return
  fi
  count_log "$stage" "$dir/ctest.log" "$status" "$t0"
}

stage_win64() {
  local t0=$SECONDS dir=$out/win64
  note "Windows x86_64 build and tests under Wine"
  configure_and_build win64 "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo || return
  wine_tests win64 "$dir" "$t0"
}

# The shipped target, built as it ships (Release), with its tests run by
# the 32-bit loader in a 64-bit prefix made after wine32 was installed: a
# 32-bit program there lives in syswow64, as on 64-bit Windows, and
# registers its COM classes under WOW6432Node.
stage_win32() {
  local t0=$SECONDS dir=$out/win32
  note "Windows i686 build (the shipped 32-bit target) and tests under 32-bit Wine"
  # Tests on explicitly: a build folder of the days when this stage only
  # built keeps them off in its cache.
  configure_and_build win32 "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=ON || return
  local why=
  if [[ $(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null) != "install ok installed" ]]; then
    why="wine32:i386 is not installed (see the output of install-deps.sh)"
  elif [[ ! -x $wine32 ]]; then
    why="$wine32 is missing"
  elif ! grep -qsF "[==[$wine32]==]" "$dir"/tests/*_include.cmake; then
    why="the build did not pick up $wine32 as its test emulator"
  fi
  if [[ -n $why ]]; then
    skip win32 $((SECONDS - t0)) "$why; the i686 build itself passed"
    return
  fi
  wine_tests win32 "$dir" "$t0" "$wine32" cmd.exe /c echo 32-bit Wine runs
}

# Each fuzz target runs as a ctest test for a fixed time on a working copy
# of its seed corpus (libFuzzer adds what it finds to its first corpus
# directory, which must not be the committed seeds).
stage_fuzz() {
  local t0=$SECONDS dir=$out/fuzz
  note "libFuzzer targets on their seed corpora"
  if [[ ! -f fuzz/CMakeLists.txt ]]; then
    fail fuzz 0 "fuzz/CMakeLists.txt is missing: no fuzz targets to run"
    return
  fi
  # Only the fuzz targets: the instrumented libraries link only into them.
  QV_TARGETS=fuzz/all CC=clang CXX=clang++ configure_and_build fuzz "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF || return
  local runs=$dir/runs
  rm -rf "$runs"
  mkdir -p "$runs"
  : >"$runs/CTestTestfile.cmake"
  local -a targets
  mapfile -t targets < <(find "$dir" -path "$runs" -prune -o -type f -perm -u+x -name 'fuzz_*' -print | sort)
  local seconds=$fuzz_seconds
  if [[ -z $seconds ]]; then
    seconds=60
    if ((${#targets[@]} > 3)); then
      seconds=$((180 / ${#targets[@]}))
      ((seconds < 20)) && seconds=20
    fi
  fi
  note "libFuzzer: ${#targets[@]} targets, ${seconds}s each"
  local exe name seeds
  for exe in "${targets[@]}"; do
    name=$(basename "$exe")
    seeds=
    for candidate in "fuzz/corpus/$name" "fuzz/$name" "fuzz/corpus/${name#fuzz_}" "fuzz/corpus"; do
      if [[ -d $candidate ]]; then
        seeds=$root/$candidate
        break
      fi
    done
    mkdir -p "$runs/$name.corpus"
    echo "add_test($name \"$exe\" -max_total_time=$seconds -timeout=10 -rss_limit_mb=2048" \
      "-print_final_stats=1 \"$runs/$name.corpus\" ${seeds:+\"$seeds\"})" >>"$runs/CTestTestfile.cmake"
    echo "set_tests_properties($name PROPERTIES TIMEOUT $((seconds * 3 + 60)))" \
      >>"$runs/CTestTestfile.cmake"
  done
  if ! grep -q add_test "$runs/CTestTestfile.cmake"; then
    fail fuzz $((SECONDS - t0)) "the fuzz build produced no fuzz_* executable"
    return
  fi
  # One target at a time: each libFuzzer run keeps a core busy.
  (cd "$runs" && ctest --output-on-failure -j1) 2>&1 | tee "$runs/ctest.log"
  count_log fuzz "$runs/ctest.log" "${PIPESTATUS[0]}" "$t0"
}

# The mail tests against a real Dovecot: the mail tests' own script starts
# a throw-away server on loopback, runs the tests that talk to it (they skip
# themselves without one) through ctest and stops the server.
stage_mail() {
  local t0=$SECONDS script=tests/mail/dovecot/run-tests.sh
  note "mail tests against a real Dovecot"
  if [[ ! -f $script ]]; then
    fail mail 0 "$script is missing: the mail tests against Dovecot cannot run"
    return
  fi
  local dir=$out/native
  if [[ ! -f $dir/build.ninja ]]; then
    configure_and_build mail "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo || return
  elif ! ninja -C "$dir" -j"$jobs"; then
    fail mail $((SECONDS - t0)) "building the native tree failed"
    return
  fi
  QV_JOBS=$jobs bash "$script" "$dir" 2>&1 | tee "$out/mail.log"
  count_log mail "$out/mail.log" "${PIPESTATUS[0]}" "$t0"
}

for s in $stages; do
  case $s in
    native | asan | win64 | win32 | fuzz | mail) "stage_$s" ;;
    *) fail "$s" 0 "unknown stage" ;;
  esac
done

note "summary"
printf '%s\n' "${summary[@]}"
if ((${#skips[@]})); then
  printf 'skipped: %s\n' "${skips[@]}"
fi
if ((${#problems[@]})); then
  printf 'problem: %s\n' "${problems[@]}"
fi
echo "total time: $((SECONDS - start_all))s"
echo "$total_passed passed, $total_failed failed, $total_skipped skipped"
((total_failed == 0))
