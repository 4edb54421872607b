#!/usr/bin/env bash
# The mail tests against a real Dovecot: starts one on loopback in a
# throw-away directory, runs the mail and tool tests of a native build with
# QV_DOVECOT_PORT (and QV_DOVECOT_110) set, and stops it again.
#
#   run-tests.sh BUILD_DIR
#
# Exits with ctest's status; ctest's summary line is the last thing printed
# before the server stops.
set -u -o pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-${QV_BINARY_DIR:-}}
if [[ -z $build || ! -d $build ]]; then
  echo "usage: run-tests.sh BUILD_DIR" >&2
  exit 2
fi

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}
port=${QV_DOVECOT_TEST_PORT:-}
if [[ -z $port ]]; then
  for candidate in $(seq 11110 11199); do
    if port_free "$candidate"; then
      port=$candidate
      break
    fi
  done
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/qv-dovecot.XXXXXX")
chmod 755 "$dir"
cleanup() {
  bash "$here/stop-dovecot.sh" "$dir"
  rm -rf "$dir"
}
trap cleanup EXIT

if ! settings=$(bash "$here/start-dovecot.sh" "$dir" "$port"); then
  echo "run-tests.sh: Dovecot did not start"
  exit 1
fi
while IFS= read -r assignment; do
  export "${assignment?}"
done <<<"$settings"
echo "Dovecot on 127.0.0.1:$QV_DOVECOT_PORT (also on port 110: $QV_DOVECOT_110)"

cd "$build" && ctest --output-on-failure -j"${QV_JOBS:-2}" -R '^(test_mail|test_tools)[.]'
