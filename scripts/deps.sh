#!/usr/bin/env bash
# Installs the Debian packages the suite needs to build and test, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ flex bison libgtest-dev libgmock-dev clang-format libsnmp-dev snmpd
          libyaml-cpp-dev man-db groff-base dpkg-dev clang libclang-rt-14-dev llvm clang-tidy cppcheck
          cups-daemon cups-client)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
