#!/usr/bin/env bash
# Installs what the project needs, builds it twice (Release, and clang with
# AddressSanitizer + UndefinedBehaviorSanitizer + the fuzz targets) and runs the
# whole test suite in both, under a virtual X display, then the bounded fuzz runs.
# Both builds treat a warning in the project's own code as an error.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
jobs=$(nproc)

bash scripts/install-deps.sh

echo "== Format (clang-format, the project's .clang-format)"
# Every source follows .clang-format; a file that does not is named and the run fails.
mapfile -t sources < <(find app bench core printer printfile tests view \
  \( -name '*.cpp' -o -name '*.c' -o -name '*.h' \) -not -path '*/corpus/*' | sort)
if ! clang-format --style=file --dry-run --Werror "${sources[@]}"; then
  echo "These sources differ from .clang-format; run: clang-format -i <file>" >&2
  exit 1
fi

echo "== Release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
echo "== Tests (Release)"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Sanitizer build (clang, ASan + UBSan)"
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKV_SANITIZE=ON -DKV_FUZZ=ON -DKV_BUILD_BENCH=OFF -DKV_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:suppressions=$top/tests/asan.supp"
export LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$top/tests/ubsan.supp"
echo "== Tests (sanitizers)"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build-asan --output-on-failure -j "$jobs"

if [ -x tests/fuzz/run-fuzzers.sh ]; then
  echo "== Fuzzing (bounded)"
  tests/fuzz/run-fuzzers.sh build-asan
fi
