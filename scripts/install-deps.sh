#!/usr/bin/env bash
# Installs everything the builds, tests and demo need on Debian 12.
# Idempotent: when every package is already there it returns at once.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64
  mingw-w64-tools wine64-tools
  dovecot-core dovecot-pop3d
  libcurl4-openssl-dev zlib1g-dev nsis
  python3 git ca-certificates procps
)

installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

sudo=()
if [[ $(id -u) != 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages present"
else
  echo "install-deps: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# 32-bit Wine for the tests of the shipped i686 build. The i386 archive has
# been out of step with amd64 before: a refusal here is reported and the
# test script then skips those tests with the reason; it fails nothing else.
if installed wine32:i386; then
  echo "install-deps: wine32:i386 present"
  exit 0
fi
echo "install-deps: installing wine32:i386"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386 || true
fi
if ! { "${sudo[@]}" apt-get update -q &&
  "${sudo[@]}" apt-get install -y -q --no-install-recommends wine32:i386 </dev/null; }; then
  echo "install-deps: wine32:i386 could not be installed; the i686 tests will be skipped"
fi
