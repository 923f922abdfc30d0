#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each on its seed corpus for SECONDS
# (default 10), one target per core at a time (PELLAM_FUZZ_LANES overrides). New inputs go to a
# temporary folder, so the committed corpora in fuzz/corpus/ never change. A finding fails the
# script once the running targets end, and leaves its input in build-fuzz/findings/ (add it to
# the target's corpus once the bug is fixed).
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
# Each libFuzzer process runs on one thread.
lanes=${PELLAM_FUZZ_LANES:-$(nproc)}
run_target() {
  local target=$1
  mkdir -p "$scratch/$target"
  build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" "$scratch/$target" "fuzz/corpus/$target" \
    >"$scratch/$target.log" 2>&1
}
declare -A running=()
failed=""
finish_one() {
  local pid status=0
  wait -n -p pid "${!running[@]}" || status=$?
  local target=${running[$pid]}
  unset "running[$pid]"
  if ((status != 0)); then
    tail -n 60 "$scratch/$target.log"
    echo "==> fuzz_$target found a problem; its input is in $findings/" >&2
    failed+=" $target"
  else
    # The last status line: executions, coverage (cov: edges, ft: features), speed.
    echo "==> fuzz_$target: $(grep -E '^#[0-9]+' "$scratch/$target.log" | tail -n 1)"
  fi
}
echo "==> Running ${#targets[@]} targets for ${seconds} s each, $lanes at a time"
for target in "${targets[@]}"; do
  while ((${#running[@]} >= lanes)); do finish_one; done
  run_target "$target" &
  running[$!]=$target
done
while ((${#running[@]} > 0)); do finish_one; done
if [ -n "$failed" ]; then
  echo "==> Findings in:$failed" >&2
  exit 1
fi
echo "==> No findings"
