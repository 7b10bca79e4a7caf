#!/usr/bin/env bash
# Builds RUDID32 and runs every test: the native build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the thread tests under
# ThreadSanitizer, a short run of every fuzz target, and (when the Windows cross-build is enabled) the 32- and 64-bit DLLs
# under Wine. Installs missing build dependencies first.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_dependencies.sh
jobs=${RUDID_JOBS:-2}

echo "== native build and tests" >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" -LE windows)

echo "== AddressSanitizer and UndefinedBehaviorSanitizer" >&2
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRUDID_SANITIZE=ON \
  -DRUDID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs" -L sanitize)

echo "== ThreadSanitizer: the tests of calls from many threads" >&2
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUDID_SANITIZE_THREAD=ON \
  -DRUDID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target rudid_api_tests
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j "$jobs" \
   -R "^(Threads|TablesChangingUnderLoad|Concurrency|ResultSlot|FailureRecord|Contexts)\.")

echo "== fuzz targets, ${RUDID_FUZZ_SECONDS:=30} s each" >&2
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DRUDID_FUZZ=ON -DRUDID_BUILD_TESTS=OFF -DRUDID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_targets
for target in exports tables evaluate startup describe cli_text kept_tables state_solver; do
  # A scratch copy of the seed corpus: what the run adds stays out of the tree.
  rm -rf "build-fuzz/corpus/$target" && mkdir -p "build-fuzz/corpus/$target"
  cp fuzz/corpus/$target/* "build-fuzz/corpus/$target/"
  (cd build-fuzz && nice -n 10 fuzz/fuzz_$target -max_total_time="$RUDID_FUZZ_SECONDS" -print_final_stats=1 \
     "corpus/$target" 2>"fuzz-$target.log") || { tail -n 40 "build-fuzz/fuzz-$target.log" >&2; exit 1; }
  grep -E "^#[0-9]+[[:space:]]+DONE" "build-fuzz/fuzz-$target.log" | sed "s/^/fuzz_$target: /" >&2 || true
done

if [[ "${RUDID_WITH_WINDOWS:-1}" == 1 && -x tools/test_windows.sh ]]; then
  echo "== 32- and 64-bit Windows DLLs under Wine" >&2
  tools/test_windows.sh
fi
