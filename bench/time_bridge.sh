#!/usr/bin/env bash
# Times the bridge's file conversions against `assimp export` (Debian's
# assimp-utils) converting the same input; wall time, median of RUNS runs.
#
#   bench/time_bridge.sh [BUILD_DIR [RUNS]]
#
# 1. torus.obj (30000 vertices, 60000 triangles) to a Kon archive; the bridge
#    refuses it after the whole import (60000 polygons are more than a Kon
#    model holds), assimp writes PLY.
# 2. The largest Kon model's geometry as OBJ to a Kon archive / to PLY.
# 3. The largest Kon model to PLY; assimp reads no Kon, so it converts the
#    same geometry from OBJ.
set -euo pipefail
export LC_ALL=C

build=${1:-build/bench}
runs=${2:-7}
tool=$(realpath "$build/bench/bridge_convert")
command -v assimp >/dev/null || { echo "needs assimp (apt-get install assimp-utils)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$tool" torus torus.obj
"$tool" largest largest.kon largest.obj 2>/dev/null

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Prints the median milliseconds of "$@" over RUNS runs.
time_median() {
    local times=() start end
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null 2>&1 || true
        end=$EPOCHREALTIME
        times+=($((10#${end//[.,]/} - 10#${start//[.,]/})))
    done
    printf '%s\n' "${times[@]}" | median | awk '{ printf "%.1f", $1 / 1000 }'
}

row() {
    local name=$1 ours theirs
    shift
    ours=$(time_median "$tool" "$@")
    theirs=$(time_median assimp export "${@: -2:1}" "$name.assimp.ply")
    printf '%-34s %10s ms %10s ms %6.2fx\n' "$name" "$ours" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
}

printf '%-34s %13s %13s %7s\n' conversion bridge "assimp export" ratio
row torus-obj-to-kon import torus.obj torus.kon
row largest-obj-to-kon import largest.obj largest-from-obj.kon
ours=$(time_median "$tool" export largest.kon largest.ply)
theirs=$(time_median assimp export largest.obj largest.assimp.ply)
printf '%-34s %10s ms %10s ms %6.2fx\n' largest-kon-to-ply "$ours" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
"$tool" import torus.obj torus.kon 2>&1 | sed 's/^/torus: /' || true
ls -l largest.kon largest.obj largest.ply torus.obj | awk '{ print $5, $9 }'
