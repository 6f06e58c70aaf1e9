#!/usr/bin/env bash
# Installs what the project needs, builds the application and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/Kestrova ]; then
  exec build/Kestrova "$@"
fi
