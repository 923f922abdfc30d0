#!/usr/bin/env bash
# Installs what the build needs (only when something is missing) and configures the build.
# Usage: scripts/setup.sh [--sanitize|--fuzz]
#   build/            g++ (or $CXX), RelWithDebInfo: what demo.sh and test.sh build
#   build-sanitize/   clang, Debug, AddressSanitizer + UndefinedBehaviorSanitizer, with the
#                     portable fallbacks of the Linux-only calls (test.sh --sanitize, CI)
#   build-fuzz/       clang, -O1, the libFuzzer targets of fuzz/ (scripts/fuzz.sh, CI)
# Building is left to the caller, which knows which targets it needs (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=false
fuzz=false
[ "${1:-}" = "--sanitize" ] && sanitize=true
[ "${1:-}" = "--fuzz" ] && fuzz=true

packages=(g++ cmake ninja-build pkg-config python3 tzdata
  libsimdjson-dev libhowardhinnant-date-dev libicu-dev libssl-dev libxxhash-dev zlib1g-dev libsystemd-dev
  libgtest-dev libgmock-dev libbenchmark-dev python3-openpyxl python3-pexpect
  man-db groff-base mandoc bash-completion zsh fish faketime systemd dbus-daemon python3-gi)
# man-db, groff and mandoc check the manual pages; bash-completion, zsh and fish load the completions;
# faketime moves the clock of a host and a client together in the end-to-end tests; systemd
# brings systemd-analyze, which checks the user unit.
# libsystemd-dev: vantry-host's reminders go to the session bus through sd-bus. dbus-daemon and
# python3-gi give the reminder tests a private bus and a notification server to watch; pexpect
# types into real bash, zsh and fish sessions for the completion tests.
# The sanitizer build is clang's, so that CI checks both compilers; its runtime is separate.
$sanitize && packages+=(clang libclang-rt-dev)
# The fuzz targets compare the JSON reader with nlohmann's.
$fuzz && packages+=(clang libclang-rt-dev nlohmann-json3-dev)
echo "==> Checking packages"
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "==> Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if $sanitize; then
  build=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DPELLAM_SANITIZE=ON
    -DPELLAM_PORTABLE_FALLBACKS=ON -DPELLAM_BENCH=OFF)
fi
if $fuzz; then
  # -O1 without NDEBUG: fast enough to fuzz, assertions kept. Line tables and batched
  # sources, even under ccache: a cold build takes 49 s instead of 87 s, which CI pays on
  # every submission, and findings still show their functions and lines.
  build=build-fuzz
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1"
    -DCMAKE_CXX_COMPILER=clang++ -DPELLAM_FUZZ=ON -DPELLAM_BENCH=OFF -DPELLAM_UNITY_BUILD=ON)
  command -v ccache >/dev/null && flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
[ "${CI:-}" = "true" ] && flags+=(-DPELLAM_WERROR=ON)

echo "==> Configuring $build/"
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
