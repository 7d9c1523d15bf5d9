#!/usr/bin/env bash
# Times kon against konvert on whole processes (wall time, median of RUNS):
#   1. one `kon convert` of a folder of 1000 copies of the example house
#      against 1000 konvert runs on the same files (goal: 10x faster);
#   2. `kon convert -j 2` against `-j 1` on 20 copies of the largest model,
#      text to archive and archive to text (goal: 1.6x on two cores), and as
#      a control for the machine two kon processes of 10 files each side by
#      side against one of 20;
#   3. `kon info` and `kon check` of the largest model against its
#      conversion (goal: no slower);
#   4. the glb of the largest model against `cp` of the same glb bytes
#      (goal: at most 4x the time), both writing a new file and both
#      replacing an output that is there.
#
#   bench/kon_speed.sh [BUILD_DIR [RUNS]]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench && cmake --build
# --preset bench), RUNS to 5.
set -euo pipefail
export LC_ALL=C  # EPOCHREALTIME and awk use the locale's decimal mark

build=${1:-build/bench}
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
kon=$(realpath "$build/kon")
konvert=$(realpath "$build/konvert")
generator=$(realpath "$build/bench/make_largest_model")
replace_only=$(realpath "$build/bench/replace_only")
house="$source_dir/examples/haus.csv"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

now_us() {
    echo $((10#${EPOCHREALTIME//[.,]/}))
}

# Runs the shell function "$2" RUNS times, with "$1" (a cleanup function)
# before each run outside the timing; prints the median in microseconds.
time_median() {
    local prepare=$1 run=$2 i start times=()
    for ((i = 0; i < runs; i++)); do
        "$prepare"
        start=$(now_us)
        "$run"
        times+=($(($(now_us) - start)))
    done
    printf '%s\n' "${times[@]}" | median
}

row() {  # name, microseconds, reference microseconds, goal text
    awk -v n="$1" -v t="$2" -v r="$3" -v g="$4" 'BEGIN {
        printf "%-44s %10.1f ms %10.1f ms %7.2fx   %s\n", n, t / 1000, r / 1000, r / t, g
    }'
}

# 1. A folder of 1000 small models.
mkdir -p "$work/many" "$work/many-out"
for ((i = 0; i < 1000; i++)); do cp "$house" "$work/many/h$i.csv"; done
# The removals reach the disk before the clock starts, so no run waits for
# the journal of the clean-up before it.
clean_many() { rm -f "$work"/many/*.kon "$work"/many-out/*; sync; }
kon_many() { "$kon" convert -o "$work/many-out" "$work"/many/*.csv 2>/dev/null; }
# The floor of any converter that writes 1000 new files: copying them.
copy_many() { cp "$work"/many/*.csv "$work/many-out/"; }
konvert_many() {
    local f
    for f in "$work"/many/*.csv; do "$konvert" "$f" </dev/null >/dev/null 2>&1; done
}

# 2. and 3. The largest model.
"$generator" "$work/model.csv" "$work/model.kon" 2>/dev/null
mkdir -p "$work/large" "$work/large-out"
for ((i = 0; i < 20; i++)); do
    cp "$work/model.csv" "$work/large/m$i.csv"
    cp "$work/model.kon" "$work/large/k$i.kon"
done
clean_large() { rm -f "$work"/large-out/*; sync; }
nothing() { :; }
text_j1() { "$kon" convert -j 1 -o "$work/large-out" "$work"/large/m*.csv 2>/dev/null; }
text_j2() { "$kon" convert -j 2 -o "$work/large-out" "$work"/large/m*.csv 2>/dev/null; }
archive_j1() { "$kon" convert -j 1 -o "$work/large-out" "$work"/large/k*.kon 2>/dev/null; }
archive_j2() { "$kon" convert -j 2 -o "$work/large-out" "$work"/large/k*.kon 2>/dev/null; }
archive_two_processes() {
    "$kon" convert -o "$work/large-out" "$work"/large/k?.kon 2>/dev/null &
    "$kon" convert -o "$work/large-out" "$work"/large/k1?.kon 2>/dev/null &
    wait
}
convert_text() { "$kon" convert -o "$work/large-out/one.kon" "$work/model.csv"; }
convert_archive() { "$kon" convert -o "$work/large-out/one.csv" "$work/model.kon"; }
info_text() { "$kon" info "$work/model.csv" >/dev/null; }
info_archive() { "$kon" info "$work/model.kon" >/dev/null; }
check_text() { "$kon" check "$work/model.csv" >/dev/null; }
check_archive() { "$kon" check "$work/model.kon" >/dev/null; }
"$kon" convert --to glb -o "$work/model.glb" "$work/model.kon"
write_glb() { "$kon" convert --to glb -o "$work/large-out/one.glb" "$work/model.kon"; }
copy_glb() { cp "$work/model.glb" "$work/large-out/one.glb"; }
# Both replacing an output that is there: cp then frees the old bytes as the
# replacement does.
rewrite_glb() { "$kon" convert --to glb --force -o "$work/large-out/one.glb" "$work/model.kon"; }
keep_glb() { cp "$work/model.glb" "$work/large-out/one.glb"; sync; }
replace_glb() { "$replace_only" "$work/model.kon" "$work/model.glb" "$work/large-out/one.glb"; }

echo "kon: $kon, median of $runs runs, $(nproc) cores, $(uname -srm)"
printf '%-44s %13s %13s %8s   %s\n' case "time" reference speedup goal
konvert_time=$(time_median clean_many konvert_many)
kon_time=$(time_median clean_many kon_many)
row "1000 houses: kon convert vs 1000 konvert" "$kon_time" "$konvert_time" "at least 10x"
row "  control: cp of the 1000 houses vs 1000 konvert" "$(time_median clean_many copy_many)" \
    "$konvert_time" "(the file system)"
j1=$(time_median clean_large text_j1)
j2=$(time_median clean_large text_j2)
row "20 largest .csv -> .kon: -j 2 vs -j 1" "$j2" "$j1" "at least 1.6x"
j1=$(time_median clean_large archive_j1)
j2=$(time_median clean_large archive_j2)
row "20 largest .kon -> .csv: -j 2 vs -j 1" "$j2" "$j1" "at least 1.6x"
row "  control: 2 processes of 10 vs -j 1" "$(time_median clean_large archive_two_processes)" \
    "$j1" "(the machine)"
conv=$(time_median clean_large convert_text)
row "largest .csv: info vs its conversion" "$(time_median nothing info_text)" "$conv" "at least 1x"
row "largest .csv: check vs its conversion" "$(time_median nothing check_text)" "$conv" "at least 1x"
conv=$(time_median clean_large convert_archive)
row "largest .kon: info vs its conversion" "$(time_median nothing info_archive)" "$conv" "at least 1x"
row "largest .kon: check vs its conversion" "$(time_median nothing check_archive)" "$conv" "at least 1x"
# The speedup column is cp's time over kon's: 0.25x is 4 times cp's time.
glb_copy=$(time_median clean_large copy_glb)
row "largest .kon -> .glb vs cp of the glb" "$(time_median clean_large write_glb)" \
    "$glb_copy" "at least 0.25x"
row "  control: the glb's replacement alone vs cp" "$(time_median clean_large replace_glb)" \
    "$glb_copy" "(bench/replace_only)"
row "the same, both replacing an output" "$(time_median keep_glb rewrite_glb)" \
    "$(time_median keep_glb copy_glb)" "at least 0.25x"
