#!/usr/bin/env bash
# scripts/build (and with it scripts/main-job) and scripts/test run as many jobs at once as
# CMAKE_BUILD_PARALLEL_LEVEL and CTEST_PARALLEL_LEVEL say, and as many as there are cores
# without them. cmake and ctest are stand-ins here that write down how they were called.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin" "$scratch/build"
for tool in cmake ctest; do
  printf '#!/bin/sh\necho "%s $*" >> "%s/calls.txt"\n' "$tool" "$scratch" > "$scratch/bin/$tool"
  chmod +x "$scratch/bin/$tool"
done
run() {
  : > "$scratch/calls.txt"
  env PATH="$scratch/bin:$PATH" KORVALIS_BUILD_DIR="$scratch/build" "$@" > /dev/null
  grep -E -o -e '--build .* -j [0-9]+' -e '^ctest .*-j [0-9]+' "$scratch/calls.txt" |
    sed -E 's/.* -j ([0-9]+).*/\1/' | tr '\n' ' '
  echo
}
cores=$(nproc)
expect() {
  if [ "$1" != "$2" ]; then
    echo "FAILED: $3: jobs '$1', expected '$2'"
    exit 1
  fi
}
expect "$(run env CMAKE_BUILD_PARALLEL_LEVEL=3 CTEST_PARALLEL_LEVEL=2 "$root/scripts/test")" \
  "3 2 " "scripts/test with both levels set"
expect "$(run env -u CMAKE_BUILD_PARALLEL_LEVEL -u CTEST_PARALLEL_LEVEL "$root/scripts/test")" \
  "$cores $cores " "scripts/test without levels"
expect "$(run env CMAKE_BUILD_PARALLEL_LEVEL=5 "$root/scripts/build" --target korvalis_cmd)" \
  "5 " "scripts/build with a level"
echo PARALLEL_LEVELS_OK
