#!/usr/bin/env bash
# Times whole conversions of the largest model in both directions against
# `cp` of the same input to the same output name, and the conversions of a
# text file with a single polygon row of ten million indices. Every run is
# timed by bench/time_process, from the spawn of the bare process to its end
# (no shell around it); wall time is the median of RUNS runs, peak memory the
# largest resident set of those runs. Standard input answers the overwrite
# question with "j". For the largest model a third process runs alongside:
# bench/replace_only reads the input and writes the finished output's bytes
# through the same replacement (temporary file, flush, rename) without
# converting, so the "repl" column is what the safeguard alone costs.
#
#   bench/time_conversions.sh [BUILD_DIR [RUNS]]
#
# BUILD_DIR defaults to build/bench (cmake --preset bench && cmake --build
# --preset bench), RUNS to 7. LONG_CORNERS sets the length of the long row.
set -euo pipefail
export LC_ALL=C  # awk prints with the locale's decimal mark otherwise

build=${1:-build/bench}
runs=${2:-7}
long_corners=${LONG_CORNERS:-10000000}

if ((runs < 5)); then
    echo "RUNS must be at least 5" >&2
    exit 2
fi
konvert=$(realpath "$build/konvert")
generator=$(realpath "$build/bench/make_largest_model")
replace_only=$(realpath "$build/bench/replace_only")
timer=$(realpath "$build/bench/time_process")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Runs "$@" in directory $1 with "j" on standard input; appends the
# microseconds, the peak KiB and the exit status to the arrays named by $2,
# $3 and $4.
timed_run() {
    local dir=$1
    local -n out_times=$2 out_peaks=$3 out_codes=$4
    shift 4
    local micros kib code
    read -r micros kib code < <(cd "$dir" && "$timer" "$work/answer" "$@")
    out_times+=("$micros")
    out_peaks+=("$kib")
    out_codes+=("$code")
}

# case name, directory, input, output, expected exit status of konvert, and
# optionally the bytes konvert writes (for the replacement alone)
measure() {
    local name=$1 dir=$2 input=$3 output=$4 expected=$5 bytes=${6:-}
    local i kon_times=() kon_peaks=() kon_codes=() cp_times=() cp_peaks=() cp_codes=()
    local repl_times=() repl_peaks=() repl_codes=()
    for ((i = 0; i < runs; i++)); do
        timed_run "$dir" kon_times kon_peaks kon_codes "$konvert" "$input"
        if [[ -n $bytes ]]; then
            timed_run "$dir" repl_times repl_peaks repl_codes "$replace_only" "$input" "$bytes" \
                "$output"
        fi
        timed_run "$dir" cp_times cp_peaks cp_codes cp "$input" "$output"
    done
    local repl_med=0
    if [[ -n $bytes ]]; then repl_med=$(printf '%s\n' "${repl_times[@]}" | median); fi
    local kon_med cp_med kon_peak kon_rc cp_peak
    kon_med=$(printf '%s\n' "${kon_times[@]}" | median)
    cp_med=$(printf '%s\n' "${cp_times[@]}" | median)
    kon_peak=$(printf '%s\n' "${kon_peaks[@]}" | sort -n | tail -n 1)
    cp_peak=$(printf '%s\n' "${cp_peaks[@]}" | sort -n | tail -n 1)
    kon_rc=$(printf '%s\n' "${kon_codes[@]}" | sort -u | tr '\n' ' ' | sed 's/ $//')
    local size
    size=$(stat -c %s "$dir/$input")
    awk -v n="$name" -v s="$size" -v k="$kon_med" -v c="$cp_med" -v kp="$kon_peak" \
        -v cpp="$cp_peak" -v rc="$kon_rc" -v want="$expected" -v r="$repl_med" 'BEGIN {
        repl = r > 0 ? sprintf("%6.1f %5.1fx", r / 1000, r / c) : sprintf("%6s %6s", "-", "-")
        printf "%-26s %11d %10.1f %8.1f %7.1fx %10d %8d %5s %s%s\n", n, s, k / 1000, c / 1000,
               k / c, kp, cpp, rc, repl, (rc == want ? "" : "  (expected " want ")")
    }'
}

setup() {
    local dir="$work/$1" input=$2 input_source=$3 output=$4 output_source=$5
    mkdir -p "$dir"
    cp "$input_source" "$dir/$input"
    # The output exists from the start, so every run answers the question.
    if [[ -n $output_source ]]; then cp "$output_source" "$dir/$output"; fi
}

printf 'j\n' >"$work/answer"
"$generator" "$work/model.csv" "$work/model.kon" 2>&1
"$generator" --long-row "$long_corners" "$work/long.csv" 2>&1

setup kon2csv model.kon "$work/model.kon" model.csv "$work/model.csv"
setup csv2kon model.csv "$work/model.csv" model.kon "$work/model.kon"
setup longkon long.kon "$work/long.csv" long.csv "$work/long.csv"
setup longcsv long.csv "$work/long.csv" long.kon ""

echo "konvert: $konvert, $runs runs each, $(nproc) cores, $(uname -srm)"
printf '%-26s %11s %10s %8s %8s %10s %8s %5s %6s %6s\n' case "input B" "konv ms" "cp ms" ratio \
    "konv KiB" "cp KiB" exit "repl" ratio
# What konvert writes from each of the generator's two files is the other
# one's size (the text byte for byte; the archive's texture coordinates keep
# more digits than the text gives back).
measure "largest .kon -> .csv" "$work/kon2csv" model.kon model.csv 0 "$work/model.csv"
measure "largest .csv -> .kon" "$work/csv2kon" model.csv model.kon 0 "$work/model.kon"
measure "long row .kon -> .csv" "$work/longkon" long.kon long.csv 0
# Far beyond an archive's limits: refused before any file is written.
measure "long row .csv (refused)" "$work/longcsv" long.csv long.kon 1
echo "goals for the largest model: ratio at most 3x, konvert peak below 16384 KiB"
