#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test, then every fuzz target for a
# short while (FUZZ_SECONDS, default 20 each).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKQV_SANITIZE=ON
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"
ctest --test-dir build-test --output-on-failure -j2
scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
