#!/usr/bin/env bash
# Installs what the project needs, builds the application and starts it. The program runs
# in the caller's folder, so file names given relative to it keep their meaning.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
(
  cd "$root"
  bash scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)"
)
exec "$root/build/Kestrova" "$@"
