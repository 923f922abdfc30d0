#!/usr/bin/env bash
# Sets up and builds, starts vantry-host (the headless stand-in for the desktop app) on a demo
# data folder, and runs a short vantry session against it, printing each command and its answer.
# Usage: scripts/demo.sh [--keep]   (--keep leaves the host running so you can carry on)
set -euo pipefail
cd "$(dirname "$0")/.."
keep=false
[ "${1:-}" = "--keep" ] && keep=true

scripts/setup.sh
# Only the two programs the demo runs; scripts/test.sh builds the tests and benchmarks.
echo "==> Building vantry and vantry-host (40 to 50 s the first time on two cores)"
scripts/build.sh build vantry vantry-host
echo "==> Starting the demo"
vantry=build/cli/vantry
host=build/host/vantry-host
data="$PWD/demo-data"
export VANTRY_DATA_DIR="$data"

# A host left running by an earlier --keep serves the folder being reset: stop it first.
if [ -f "$data/host.pid" ]; then
  old=$(cat "$data/host.pid")
  if [ "$(ps -o comm= -p "$old" 2>/dev/null)" = "vantry-host" ]; then
    kill "$old"
    while kill -0 "$old" 2>/dev/null; do sleep 0.05; done
  fi
fi
rm -rf "$data"
mkdir -p "$data"

"$host" --data-dir "$data" >/dev/null 2>"$data/host.log" &
host_pid=$!
echo "$host_pid" >"$data/host.pid"
stop_host() { kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null || true; }
$keep || trap stop_host EXIT
until grep -q serving "$data/host.log" 2>/dev/null; do
  kill -0 "$host_pid" 2>/dev/null || { cat "$data/host.log"; exit 1; }
  sleep 0.05
done
printf 'vantry-host (pid %s) serves %s\n' "$host_pid" "$data"

answer=""
# Prints each command shell-quoted, so that it can be pasted back into a shell as it stands.
# (In bash, not Python: a Python start per command would be most of the demo's time.)
quoted() {
  local word out=""
  for word in "$@"; do
    if [[ -n "$word" && "$word" =~ ^[A-Za-z0-9_./:=@%+,-]+$ ]]; then
      out+=" $word"
    else
      out+=" '${word//\'/\'\\\'\'}'"
    fi
  done
  printf '%s' "${out# }"
}
show() {
  printf '\n$ vantry %s\n' "$(quoted "$@")"
  answer=$("$vantry" "$@") || true
  printf '%s\n' "$answer"
}
field() { python3 -c 'import json, sys; d = json.load(sys.stdin)["data"]
for key in sys.argv[1].split("."): d = d[key]
print(d)' "$1" <<<"$answer"; }

show doctor
show jobs create --name "Corner Café" --rate 18.50 --currency USD
job=$(field job.id)
show jobs list
show jobs create --name "Trial shift" --rate 30 --dry-run
show jobs show "$job"
revision=$(field revision)
show jobs update "$job" --rate 19.25 --if-match "$revision"
show jobs update "$job" --rate 99 --if-match "$revision"
echo "(refused: the job changed since that revision was read)"
show jobs list --json

# A short working day: clock in, a paid break, back to work, clock out, then a forgotten
# clock-in corrected against the entry's revision.
show timer clock-in "$job"
entry=$(field entry.id)
show timer break --paid true --kind Lunch
show timer status
show timer resume
show timer status
show timer clock-out
show entries list --range today
show entries show "$entry"
revision=$(field revision)
opened=$(date -u -d '3 hours ago' +%Y-%m-%dT%H:%M:%SZ)
show entries update "$entry" --start "$opened" --comment "Forgot to clock in at opening" --if-match "$revision"
show entries update "$entry" --comment "Again" --if-match "$revision"
echo "(refused: the entry changed since that revision was read)"

# Payday: the week's summary, the text report, and files for the accountant.
show reports summary --range week
show export txt --range week --out "$data/Week.txt"
echo "(the text report, as written:)"
cat "$data/Week.txt"
show export xlsx --range week --out "$data/Week.xlsx"
show export csv --range week --out "$data/Week.csv"
show export csv --range week --out "$data/Week.csv"
echo "(refused: an export never replaces a file)"

# Hours kept in a spreadsheet come in behind a preview: nothing changes until the preview's
# token is handed back, and only if the records are still as previewed.
cat >"$data/hours.csv" <<'CSV'
Job,Start,End,Rate,Currency,Comment,Tags
Corner Café,2026-03-02T09:00:00Z,2026-03-02T13:30:00Z,18.50,USD,Inventory,"stock, weekend"
Market stall,2026-03-03T07:00:00Z,2026-03-03T12:00:00Z,16,USD,Early market,
CSV
show import preview "$data/hours.csv"
token=$(field preview)
show import apply "$data/hours.csv" --preview "$token"
show import preview "$data/hours.csv"
echo "(a second preview finds every row already there)"

echo
echo "The host's log, one line per request:"
cat "$data/host.log"
echo
if $keep; then
  cat <<EOT
vantry-host keeps running (pid $host_pid). Carry on with, for example:
  export VANTRY_DATA_DIR="$data"
  $vantry help
  $vantry jobs list
Stop it with: kill $host_pid
EOT
else
  cat <<EOT
The demo host is stopped now. To keep using it, run scripts/demo.sh --keep and then, e.g.:
  export VANTRY_DATA_DIR="$data"
  $vantry jobs list
or serve any folder yourself: $host --data-dir PATH   (and vantry --data-dir PATH ...)
EOT
fi
