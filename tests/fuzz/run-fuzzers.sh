#!/usr/bin/env bash
# Runs every fuzz_* target of a KV_FUZZ build for a bounded time on a copy of
# its seed corpus tests/fuzz/corpus/<name without fuzz_>. Exits non-zero on any
# finding; crashing inputs are kept in BUILD_DIR/fuzz-artifacts/<name>/.
# Usage: run-fuzzers.sh BUILD_DIR   (FUZZ_SECONDS overrides the 30 s per target)
set -uo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd) || exit 2
seconds=${FUZZ_SECONDS:-30}

export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:suppressions=$top/tests/asan.supp}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1:suppressions=$top/tests/ubsan.supp}"
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8

mapfile -t targets < <(find "$build/tests/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x 2>/dev/null | sort)
if [ ${#targets[@]} -eq 0 ]; then
  echo "run-fuzzers: no fuzz targets in $build/tests/fuzz (configure with -DKV_FUZZ=ON)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kvfuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  seeds="$here/corpus/${name#fuzz_}"
  corpus="$work/$name"
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$corpus" "$artifacts"
  if [ -d "$seeds" ]; then
    cp -R "$seeds/." "$corpus/"
  else
    echo "run-fuzzers: $name has no seed corpus at $seeds; starting empty"
  fi
  echo "== $name: ${seconds} s"
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" >"$work/$name.log" 2>&1; then
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "$work/$name.log" | tail -2
  else
    failed=1
    tail -n 60 "$work/$name.log"
    echo "run-fuzzers: $name FAILED; inputs in $artifacts" >&2
  fi
done
if [ $failed -ne 0 ]; then
  exit 1
fi
echo "run-fuzzers: all ${#targets[@]} targets clean"
