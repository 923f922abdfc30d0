#!/usr/bin/env bash
# Installs what the build needs (only when something is missing), then configures and builds.
# Usage: scripts/setup.sh [--sanitize]   (builds into build/ or, with --sanitize, build-sanitize/)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config python3 tzdata
  libsimdjson-dev libhowardhinnant-date-dev libicu-dev uuid-dev libssl-dev libxxhash-dev
  libgtest-dev libgmock-dev libbenchmark-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=Debug -DPELLAM_SANITIZE=ON -DPELLAM_BENCH=OFF)
fi
[ "${CI:-}" = "true" ] && flags+=(-DPELLAM_WERROR=ON)

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
ninja -C "$build" --quiet ${PELLAM_JOBS:+-j "$PELLAM_JOBS"}
