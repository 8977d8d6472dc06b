#!/usr/bin/env bash
# Starts the window program when it is built, otherwise shows the command-line tool's usage.
set -euo pipefail
build=${1:-build}
if [ -x "$build/kerfline" ]; then
  exec "$build/kerfline"
fi
exec "$build/kerfline-cli" --help
