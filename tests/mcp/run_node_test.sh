#!/bin/sh
# Runs one of the Node tests of vantry-mcp (node's own test runner), or skips it, with exit
# status 77 and the reason, where Node is missing or older than the pinned packages need, or
# where they are not installed (scripts/setup.sh installs them).
#   run_node_test.sh TEST_FILE
cd "$(dirname "$0")" || exit 1
needed=$(sed -n 's/^ *"node": *">= *\([0-9][0-9]*\).*/\1/p' package.json)
if ! command -v node >/dev/null 2>&1; then
  echo "SKIP: Node.js $needed or later is needed for the MCP client tests; none is installed (scripts/setup.sh installs it)."
  exit 77
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt "$needed" ]; then
  echo "SKIP: Node.js $needed or later is needed for the MCP client tests; this one is $(node --version)."
  exit 77
fi
if [ ! -d node_modules/@modelcontextprotocol/sdk ] || [ ! -d node_modules/@modelcontextprotocol/inspector ]; then
  echo "SKIP: the pinned npm packages are not installed in tests/mcp (scripts/setup.sh runs npm ci there)."
  exit 77
fi
exec node --test --test-reporter=spec "$1"
