#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Does nothing when
# everything is present, so `make` can call it on every run.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libfmt-dev libminizip-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev
  libsqlite3-dev
  openjdk-17-jdk-headless junit5
  binutils file
  clang-14 libclang-rt-14-dev
)
if [[ -n "${EXTRA_PACKAGES:-}" ]]; then
  read -r -a extra <<<"$EXTRA_PACKAGES"
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
