#!/usr/bin/env bash
# Builds Quillet with warnings as errors, runs every test and each benchmark once briefly; then
# the core and analysis tests once more under AddressSanitizer and UndefinedBehaviorSanitizer
# (with its check of float-to-integer casts, which it leaves out by default); then, with
# clang, the fuzz targets: their seed corpora replayed and a minute of fuzzing each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON \
  -DQUILLET_BUILD_TOOL=ON >/dev/null
cmake --build build-test -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build-test --output-on-failure -j "$jobs"
# The benchmarks once, briefly: that they run, not how fast (timings are never judged here).
for bench in build-test/bench/quillet_bench build-test/bench/startup/canvas_bench; do
  if [ -x "$bench" ]; then
    QT_QPA_PLATFORM=offscreen "$bench" --benchmark_min_time=0.01 >/dev/null
    echo "benchmark smoke run passed: $bench"
  fi
done
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLET_WERROR=ON \
  -DQUILLET_BUILD_QT=OFF -DQUILLET_BUILD_BENCH=OFF -DQUILLET_BUILD_TOOL=ON \
  -DQUILLET_SANITIZE=address,undefined,float-cast-overflow >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

if command -v clang++ >/dev/null; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLET_WERROR=ON -DQUILLET_BUILD_QT=OFF -DQUILLET_BUILD_BENCH=OFF -DQUILLET_BUILD_TOOL=OFF \
    -DQUILLET_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j "$jobs" --target project_fuzz load_fuzz
  bash fuzz/run.sh build-fuzz 60
else
  echo "clang++ is missing: the fuzz targets are not built" >&2
fi
