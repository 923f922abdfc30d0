#!/bin/sh
# Runs one of the Node tests of vantry-mcp (node's own test runner), or skips it, with exit
# status 77 and the reason, where Node is missing or older than the pinned packages need, or
# where they are not installed (scripts/setup_mcp_clients.sh, run by scripts/test.sh, installs them). A machine without a recent
# enough Node skips, naming the version; in CI, where setup has run, packages that are not
# installed are a failure.
#   run_node_test.sh TEST_FILE
cd "$(dirname "$0")" || exit 1
needed=$(sed -n 's/^ *"node": *">= *\([0-9][0-9]*\).*/\1/p' package.json)
skip() {
  echo "SKIP: $1"
  exit 77
}
if ! command -v node >/dev/null 2>&1; then
  skip "Node.js $needed or later is needed for the MCP client tests; none is installed (scripts/setup_mcp_clients.sh installs it)."
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt "$needed" ]; then
  skip "Node.js $needed or later is needed for the MCP client tests; this one is $(node --version)."
fi
if [ ! -d node_modules/@modelcontextprotocol/sdk ] || [ ! -d node_modules/@modelcontextprotocol/inspector ]; then
  reason="the pinned npm packages are not installed in tests/mcp_clients (scripts/setup_mcp_clients.sh runs npm ci there)."
  [ "${CI:-}" = "true" ] && { echo "FAIL: $reason"; exit 1; }
  skip "$reason"
fi
exec node --test "$1"
