#!/usr/bin/env bash
# Stops the Dovecot that start-dovecot.sh DIR started.
set -u
dir=${1:?usage: stop-dovecot.sh DIR}
[[ -f $dir/dovecot.conf ]] || exit 0
doveadm=$(command -v doveadm || echo /usr/bin/doveadm)
if ! "$doveadm" -c "$dir/dovecot.conf" stop 2>/dev/null; then
  if [[ -f $dir/run/master.pid ]]; then
    kill "$(cat "$dir/run/master.pid")" 2>/dev/null
  fi
fi
# Wait for the master to be gone before the directory is reused.
for _ in $(seq 1 50); do
  [[ -f $dir/run/master.pid ]] && kill -0 "$(cat "$dir/run/master.pid")" 2>/dev/null || exit 0
  sleep 0.1
done
exit 0
