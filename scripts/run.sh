#!/usr/bin/env bash
# Installs what is missing, builds CW Tamarik and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target cw-tamarik
exec build/src/ui/cw-tamarik "$@"
