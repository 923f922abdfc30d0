#!/usr/bin/env bash
# Sets up, builds and shows vantry answering its local commands.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
vantry=build/cli/vantry
show() { printf '\n$ vantry %s\n' "$*"; "$vantry" "$@" || true; }
show help
show --version
show --version --json
