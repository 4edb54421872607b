#!/usr/bin/env bash
# Builds the definition tool natively and loads the example toolbar
# definition with it: the author's check, the model the definition loads
# into, then the toolbar built from it on a headless toolbar.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${QV_OUT:-$root/out}
jobs=${QV_JOBS:-2}

bash scripts/install-deps.sh
cmake -S . -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$out/native" -j"$jobs" quorvane-tbdl
tool=$out/native/tools/quorvane-tbdl

echo
echo "\$ quorvane-tbdl check examples/quorvane.tbd"
"$tool" check examples/quorvane.tbd

echo
echo "\$ quorvane-tbdl load examples/quorvane.tbd"
"$tool" load examples/quorvane.tbd

echo
echo "\$ quorvane-tbdl show examples/quorvane.tbd"
"$tool" show examples/quorvane.tbd
