#!/usr/bin/env bash
# Installs what building and testing RUDID32 needs on a Debian machine,
# skipping what is already there. Run as root (or with sudo).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
          python3 python3-pytest python3-iapws pkg-config
          python3-numpy python3-dask python3-distributed python3-pandas python3-hypothesis
          python3-venv python3-setuptools
          clang libclang-rt-dev   # clang and its libFuzzer runtime for the fuzz targets
          fp-compiler)            # Free Pascal, for the test of the Pascal unit
if [[ "${RUDID_WITH_WINDOWS:-1}" == 1 ]]; then
  packages+=(g++-mingw-w64-i686 wine wine32:i386 binutils-mingw-w64-i686
             g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO=sudo
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
