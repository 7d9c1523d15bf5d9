#!/usr/bin/env bash
# The threads under ThreadSanitizer (preset tsan): the output writer's, the
# text reader's second thread for the instance rows and the glb writer's
# second half of the instance nodes, in their unit tests and in whole
# conversions of the largest model (both directions, glb, kon -j 2). Any
# race report fails the check.
#
#   tests/thread_check.sh [BUILD_DIR]     (default build/tsan)
set -euo pipefail
build=$(realpath "${1:-build/tsan}")
examples=$(cd "$(dirname "$0")/../examples" && pwd)
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 suppressions=$(cd "$(dirname "$0")" && pwd)/tsan_assimp.supp"

"$build/tests/kon_unit_tests" --gtest_brief=1 \
    --gtest_filter='RunBeside*:GltfTest.*:TextReaderTest.*:LineReaderTest.*:OutputFile*'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/tests/kon_largest_model_files" m.csv m.kon >/dev/null 2>&1
cp m.csv a.csv
cp m.kon b.kon
printf '\n' | "$build/konvert" a.csv >/dev/null
printf '\n' | "$build/konvert" b.kon >/dev/null
"$build/kon" convert --to glb -o m.glb m.kon
mkdir out
"$build/kon" convert -j 2 -o out m.csv m.kon a.csv b.kon 2>/dev/null
[ "$(ls out | wc -l)" -eq 4 ] && [ -s a.kon ] && [ -s b.csv ] && [ -s m.glb ]
# Files only assimp reads: two workers need its formats first at the same
# moment, and one of them loads its library.
if [ -e "$build/kon-assimp.so" ]; then
    "$build/kon" convert --to obj -o h.obj "$examples/haus.csv" 2>/dev/null
    for i in 1 2 3 4; do cp h.obj "h$i.obj"; done
    mkdir imported
    "$build/kon" convert -j 4 -o imported h1.obj h2.obj h3.obj h4.obj 2>/dev/null
    [ "$(ls imported | wc -l)" -eq 4 ]
fi
echo "no data race in the threads"
