#!/usr/bin/env bash
# Builds Quillet with warnings as errors and runs every test; then the core tests once more
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON >/dev/null
cmake --build build-test -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-test --output-on-failure -j "$jobs"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=ON \
  -DQUILLET_BUILD_QT=OFF -DQUILLET_BUILD_BENCH=OFF -DQUILLET_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
