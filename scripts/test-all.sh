#!/usr/bin/env bash
# Builds everything (native and Windows) and runs every test: the native tests against the Win32
# stand-in and the Wine tests of the real programs. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset host
cmake --build --preset host
ctest --preset host
