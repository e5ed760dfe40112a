#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs the unit tests once more under
# the address and undefined-behaviour sanitizers, runs each fuzz target briefly over its committed
# seeds, then runs every test, the JACK tests on private servers among them (the test summary is
# the last thing printed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
# The configuration scripts/run.sh builds (Release, -O3), so a warning a user would see fails CI
# (-g adds debug information only; it changes neither the code nor the warnings).
"$root/scripts/build.sh" ci -DTW_WERROR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-g
"$root/scripts/build.sh" asan -DTW_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DTW_BUILD_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=undefined"
echo "unit tests under the sanitizers:"
"$root/build/asan/tests/tw_tests" --gtest_brief=1
for t in tw_settings_tests controls/tw_controls_tests ui/tw_ui_tests; do
  QT_QPA_PLATFORM=offscreen "$root/build/asan/tests/$t" --gtest_brief=1
done
# The threaded code once more under the thread sanitizer, built without widgets or benches. The
# JACK tests run too: the instrumented process starts its private servers like any other.
"$root/scripts/build.sh" tsan -DTW_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_BENCH=OFF \
  -DTW_BUILD_WIDGETS=OFF -DCMAKE_CXX_FLAGS=-fsanitize=thread
(
  echo "unit tests under the thread sanitizer:"
  export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp"
  "$root/build/tsan/tests/tw_tests" --gtest_brief=1
  "$root/build/tsan/tests/tw_settings_tests" --gtest_brief=1
  # Left out: they compare recorded ticks with the wall clock and with the frames a player
  # heard, which the sanitizer slows too far for the program to keep its cycles.
  "$root/build/tsan/tests/tw_jack_tests" --gtest_brief=1 \
    --gtest_filter=-JackPlayTest.RecordKeepsAPlayedPhraseAtItsTicks:JackRecordLatencyTest.*
)
"$root/scripts/fuzz-smoke.sh" "${TW_FUZZ_SECONDS:-30}"
ctest --test-dir "$root/build/ci" --output-on-failure -j2
