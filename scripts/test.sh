#!/usr/bin/env bash
# The whole test suite: native build and tests, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the Windows x86_64 build
# with its tests under Wine, the Windows i686 build (the shipped target),
# the fuzzers on their seed corpora and the mail tests against a real
# Dovecot. Ends with one line "N passed, N failed" over every test run and
# exits non-zero when anything failed.
#
# Environment:
#   QV_OUT        build root (default: out/ in the source tree)
#   QV_JOBS       parallel build and test jobs (default 2)
#   QV_STAGES     stages to run (default "native asan win64 win32 fuzz mail")
#   QV_FUZZ_SECONDS  time per fuzz target (default 60; with more than three
#                    targets they share 180 s, at least 20 s each)
set -u -o pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${QV_OUT:-$root/out}
jobs=${QV_JOBS:-2}
stages=${QV_STAGES:-native asan win64 win32 fuzz mail}
fuzz_seconds=${QV_FUZZ_SECONDS:-}

total_passed=0
total_failed=0
summary=()
start_all=$SECONDS

bash scripts/install-deps.sh || {
  echo "test.sh: installing the dependencies failed"
  echo "0 passed, 1 failed"
  exit 1
}

note() { printf '\n==== %s ====\n' "$*"; }

# record STAGE PASSED FAILED SECONDS
record() {
  total_passed=$((total_passed + $2))
  total_failed=$((total_failed + $3))
  summary+=("$(printf '%-8s %4d passed %4d failed %5ds' "$1" "$2" "$3" "$4")")
}

# count_log STAGE LOG EXIT_STATUS STAGE_START: records the counts of the
# last ctest summary in LOG. A failed run without a failed test in its
# summary (a crash, a missing summary) counts as one failure.
count_log() {
  local line passed=0 failed=0
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$2" 2>/dev/null | tail -1)
  if [[ -n $line ]]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$(($(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line") - failed))
  fi
  if (($3 != 0 && failed == 0)); then
    failed=1
  fi
  record "$1" "$passed" "$failed" $((SECONDS - $4))
}

# run_ctest STAGE BUILD_DIR STAGE_START [ctest args...]
run_ctest() {
  local stage=$1 dir=$2 t0=$3
  shift 3
  (cd "$dir" && ctest --output-on-failure --no-tests=ignore -j"$jobs" "$@") 2>&1 | tee "$dir/ctest.log"
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
    echo "test.sh: configuring $stage failed"
    record "$stage" 0 1 $((SECONDS - t0))
    return 1
  fi
  # shellcheck disable=SC2086 # a list of target names
  if ! ninja -C "$dir" -j"$jobs" ${QV_TARGETS:-}; then
    echo "test.sh: building $stage failed"
    record "$stage" 0 1 $((SECONDS - t0))
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

# Runs in a subshell: a private Wine prefix, created fresh, with no display.
setup_wine() {
  if [[ -z $wine ]]; then
    echo "test.sh: wine64 not found"
    return 1
  fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # No Mono or Gecko installers: nothing here needs them and there is no
  # one to answer their prompts.
  WINEDLLOVERRIDES="mscoree=;mshtml=" "$wine" wineboot -i >/dev/null 2>&1 </dev/null
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
  # Let the server write the registry out before the tests start.
  "$wineserver" -w
}

stage_win64() {
  local t0=$SECONDS dir=$out/win64
  note "Windows x86_64 build and tests under Wine"
  configure_and_build win64 "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo || return
  rm -f "$dir/ctest.log"
  (
    export WINEPREFIX=$dir/wineprefix WINEDEBUG=-all WINEARCH=win64
    unset DISPLAY WAYLAND_DISPLAY
    setup_wine && cd "$dir" && ctest --output-on-failure --no-tests=ignore -j"$jobs"
    rc=$?
    "$wineserver" -k 2>/dev/null
    exit $rc
  ) 2>&1 | tee "$dir/ctest.log"
  count_log win64 "$dir/ctest.log" "${PIPESTATUS[0]}" "$t0"
}

stage_win32() {
  local t0=$SECONDS dir=$out/win32
  note "Windows i686 build (the shipped 32-bit target)"
  configure_and_build win32 "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF || return
  record win32 0 0 $((SECONDS - t0))
}

# Each fuzz target runs as a ctest test for a fixed time on a working copy
# of its seed corpus (libFuzzer adds what it finds to its first corpus
# directory, which must not be the committed seeds).
stage_fuzz() {
  local t0=$SECONDS dir=$out/fuzz
  if [[ ! -f fuzz/CMakeLists.txt ]]; then
    note "fuzzing skipped: no fuzz/ targets"
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
    echo "test.sh: the fuzz build produced no fuzz_* executable"
    record fuzz 0 1 $((SECONDS - t0))
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
  if [[ ! -f $script ]]; then
    note "mail tests against Dovecot skipped: no $script"
    return
  fi
  note "mail tests against a real Dovecot"
  local dir=$out/native
  if [[ ! -f $dir/build.ninja ]]; then
    configure_and_build mail "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo || return
  elif ! ninja -C "$dir" -j"$jobs"; then
    record mail 0 1 $((SECONDS - t0))
    return
  fi
  QV_JOBS=$jobs bash "$script" "$dir" 2>&1 | tee "$out/mail.log"
  count_log mail "$out/mail.log" "${PIPESTATUS[0]}" "$t0"
}

for s in $stages; do
  case $s in
    native | asan | win64 | win32 | fuzz | mail) "stage_$s" ;;
    *) echo "test.sh: unknown stage $s"; record "$s" 0 1 0 ;;
  esac
done

note "summary"
printf '%s\n' "${summary[@]}"
echo "total time: $((SECONDS - start_all))s"
echo "$total_passed passed, $total_failed failed"
((total_failed == 0))
