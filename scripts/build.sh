#!/usr/bin/env bash
# Builds targets in a configured build folder, showing ninja's progress with elapsed seconds.
# Usage: scripts/build.sh BUILD_DIR [TARGET...]   (no target: everything)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
export NINJA_STATUS="${NINJA_STATUS:-[%f/%t %es] }"
ninja -C "$build" ${PELLAM_JOBS:+-j "$PELLAM_JOBS"} "$@"
