#!/usr/bin/env bash
# Installs the npm packages of the MCP client tests (tests/mcp_clients/), for scripts/test.sh;
# the demo does not need them.
set -euo pipefail
cd "$(dirname "$0")/.."
# The MCP client tests run vantry-mcp under the TypeScript SDK and the MCP Inspector, pinned
# in tests/mcp_clients/package-lock.json. Node comes from Debian only where none is installed (a newer
# one on the PATH is kept); where it is older than the packages need, the tests skip and say so.
if ! command -v node >/dev/null 2>&1; then
  echo "==> Installing: nodejs npm"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq nodejs npm >/dev/null
fi
node_needed=$(sed -n 's/^ *"node": *">= *\([0-9][0-9]*\).*/\1/p' tests/mcp_clients/package.json)
if [ "$(node -p 'process.versions.node.split(".")[0]')" -lt "$node_needed" ]; then
  echo "==> Node.js $(node --version) is older than the $node_needed the MCP client tests need: they will skip"
elif ! cmp -s tests/mcp_clients/package-lock.json tests/mcp_clients/node_modules/.installed-lock.json; then
  # npm ci starts from an empty node_modules; the copy of the lockfile says what it installed.
  echo "==> Installing the MCP client tests' npm packages"
  (cd tests/mcp_clients && npm ci --no-audit --no-fund --loglevel=error >/dev/null &&
    cp package-lock.json node_modules/.installed-lock.json)
fi

