#!/usr/bin/env bash
# A second build with AddressSanitizer and UndefinedBehaviorSanitizer (g++),
# running the whole unit and widget suite. Any report fails the stage: the
# sanitizers stop the test at the first finding, and the test then fails.
set -euo pipefail
cd "$(dirname "$0")/../.."

# -O1 with line tables only: the tests run several times quicker than at -O0,
# and every report still names its file and line.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
  -DQUILLMERE_SANITIZE=ON -DQUILLMERE_WITH_BENCH=OFF -DQUILLMERE_WITH_FUZZ=OFF >/dev/null
cmake --build build-asan -j2

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"

ctest --test-dir build-asan --output-on-failure -LE e2e -j2
