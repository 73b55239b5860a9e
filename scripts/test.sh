#!/usr/bin/env bash
# Builds everything and runs every test: the full suite in the default build, then the unit
# tests again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j2

# shellcheck source=../tests/support/test-env.sh
source tests/support/test-env.sh

ctest --preset default -j2

if [ "${BANDORA_SKIP_ASAN:-0}" != "1" ]; then
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j2
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j2
fi
