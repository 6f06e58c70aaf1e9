#!/usr/bin/env bash
# Runs one test executable in a home of its own: temporary HOME and XDG folders,
# C locale, and the given Qt platform (offscreen, or the X display for GL tests).
set -u
platform=$1; shift
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kvtest.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home"
export XDG_DATA_HOME="$scratch/data"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_CACHE_HOME="$scratch/cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_QPA_PLATFORM="$platform"
if [ "$platform" = xcb ] && [ -z "${DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
fi
# Mesa's GL drivers are unloaded at exit, so their allocations show as leaks from
# an unknown module; leak checks stay on for everything that uses no GL context.
if [ "$platform" = xcb ] && [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
fi
cd "$scratch"
"$@"
