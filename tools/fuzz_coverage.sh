#!/usr/bin/env bash
# Line coverage of the library's sources (src/) under the committed fuzz
# corpora. Builds the fuzz targets with clang's source-based coverage into
# build-coverage/, replays every target over its seed corpus once (no
# mutation, so the figure depends only on the committed files), merges the
# profiles and prints llvm-cov's report for src/.
#
#   tools/fuzz_coverage.sh [TARGET...]     all targets when none are named
#
# RUDID_JOBS sets the build's parallelism (2); RUDID_COVERAGE_DIR the build
# directory (build-coverage). The last line printed is the total, e.g.
#   src/ line coverage: 90.4 %
# Not part of tools/test.sh: the instrumented build takes a while.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/install_dependencies.sh
jobs=${RUDID_JOBS:-2}
build=${RUDID_COVERAGE_DIR:-build-coverage}
all_targets=(exports tables evaluate startup describe cli_text kept_tables state_solver)
targets=("${@:-${all_targets[@]}}")

# clang's own profile tools: llvm-profdata-14 next to clang 14, say, or the
# unversioned names.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
tool() {
  local name
  for name in "$1-$clang_major" "$1"; do
    command -v "$name" >/dev/null && { echo "$name"; return; }
  done
  echo "fuzz_coverage.sh: $1 (LLVM $clang_major) not found" >&2
  exit 1
}
profdata=$(tool llvm-profdata)
cov=$(tool llvm-cov)

flags="-fprofile-instr-generate -fcoverage-mapping"
echo "== instrumented build in $build/" >&2
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fprofile-instr-generate" \
  -DRUDID_FUZZ=ON -DRUDID_BUILD_TESTS=OFF -DRUDID_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

profiles="$root/$build/profiles"
rm -rf "$profiles" && mkdir -p "$profiles"
# The targets' scratch files (tables, INI files, library copies) go to a
# folder of this run's own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
objects=("$build/libRUDID32.so")
for target in "${targets[@]}"; do
  echo "== fuzz_$target over fuzz/corpus/$target/ ($(ls "fuzz/corpus/$target" | wc -l) inputs)" >&2
  # %m: every module (the program, and each dlopen'ed copy of the library,
  # which are the same module) merges its counts into its own file rather
  # than a later copy overwriting an earlier one's; %p keeps processes apart.
  (cd "$build" && LLVM_PROFILE_FILE="$profiles/$target-%p-%m.profraw" \
     TMPDIR="$scratch" ASAN_OPTIONS=detect_leaks=0 fuzz/fuzz_$target -runs=0 "$root/fuzz/corpus/$target" \
     >"fuzz-coverage-$target.log" 2>&1) || { tail -n 40 "$build/fuzz-coverage-$target.log" >&2; exit 1; }
  objects+=("$build/fuzz/fuzz_$target")
done

"$profdata" merge -sparse -o "$build/fuzz.profdata" "$profiles"/*.profraw
object_args=()
for object in "${objects[@]:1}"; do object_args+=(-object "$object"); done
"$cov" report -instr-profile="$build/fuzz.profdata" "${objects[0]}" "${object_args[@]}" "$root/src" \
  | tee "$build/coverage-report.txt"
# The TOTAL row: regions, missed, cover, functions, missed, executed, lines,
# missed, cover, ...
awk '$1 == "TOTAL" { print "src/ line coverage: " $10 }' "$build/coverage-report.txt" | sed 's/%$/ %/'
echo "Lines missed, per file: $cov show -instr-profile=$build/fuzz.profdata ${objects[0]} ${object_args[*]}" \
  "-show-line-counts-or-regions src/FILE" >&2
