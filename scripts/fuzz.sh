#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each on its seed corpus for SECONDS
# (default 10), one after the other. New inputs go to a temporary folder, so the committed
# corpora in fuzz/corpus/ never change; a finding stops the script with a failure and leaves
# its input in build-fuzz/findings/ (add it to the target's corpus once the bug is fixed).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (no target: every folder of fuzz/corpus/)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  for folder in fuzz/corpus/*/; do targets+=("$(basename "$folder")"); done
fi

scripts/setup.sh --fuzz
echo "==> Building the fuzz targets in build-fuzz/"
scripts/build.sh build-fuzz $(printf 'fuzz_%s ' "${targets[@]}")

findings=build-fuzz/findings
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  echo "==> fuzz_$target for ${seconds} s"
  mkdir -p "$scratch/$target"
  log="$scratch/$target.log"
  if ! build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" "$scratch/$target" "fuzz/corpus/$target" \
      >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "==> fuzz_$target found a problem; its input is in $findings/" >&2
    exit 1
  fi
  # The last status line: executions, coverage (cov: edges, ft: features), speed.
  grep -E '^#[0-9]+' "$log" | tail -n 1
done
echo "==> No findings"
