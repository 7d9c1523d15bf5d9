#!/usr/bin/env bash
# Checks plan and glTF files as their users' tools see them: every SVG must be
# well-formed XML and render with rsvg-convert to a picture that is not empty;
# every .glb/.gltf must pass the Khronos glTF validator without an error.
#
#   render_check.sh [--make KON MAKE_LARGEST_MODEL EXAMPLES_DIR] [FILE...]
#
# --make first writes the files to check with KON: plans (filled and not), glb
# and gltf of every example, and of the largest model (both its forms, made by
# MAKE_LARGEST_MODEL).
# The validator is installed with npm into KON_GLTF_VALIDATOR_DIR (default: a
# folder in ~/.cache) the first time.
set -euo pipefail

validator_version=2.0.0-dev.3.10
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/kon-render-check.XXXXXX)"
trap 'rm -rf "$work"' EXIT

files=()
if [ "${1:-}" = "--make" ]; then
    kon="$2" make_largest="$3" examples="$4"
    shift 4
    "$make_largest" "$work/largest.csv" "$work/largest.kon"
    for input in "$examples"/*.csv "$examples"/*.kon "$work/largest.csv" "$work/largest.kon"; do
        name="$(basename "$input")"
        name="$work/${name%.*}-${name##*.}"
        "$kon" plan -o "$name.svg" "$input"
        "$kon" plan --no-fill -o "$name-lines.svg" "$input"
        "$kon" convert --to glb -o "$name.glb" "$input"
        "$kon" convert --to gltf -o "$name.gltf" "$input"
        files+=("$name.svg" "$name-lines.svg" "$name.glb" "$name.gltf")
    done
fi
files+=("$@")
if [ "${#files[@]}" -eq 0 ]; then
    echo "render_check.sh: no files to check" >&2
    exit 2
fi

validator_dir="${KON_GLTF_VALIDATOR_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/kon-gltf-validator}"
need_validator() {
    [ -f "$validator_dir/node_modules/gltf-validator/package.json" ] && return
    mkdir -p "$validator_dir"
    npm install --prefix "$validator_dir" --no-audit --no-fund --silent \
        "gltf-validator@$validator_version" >&2
}

passed=0 failed=0
pass() { echo "ok   $1: $2"; passed=$((passed + 1)); }
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }

for file in "${files[@]}"; do
    case "$file" in
    *.svg)
        if ! report="$(xmllint --noout "$file" 2>&1)"; then
            fail "$file" "not well-formed XML: $report"
            continue
        fi
        if ! rsvg-convert -o "$work/render.png" "$file" 2>"$work/rsvg.err"; then
            fail "$file" "rsvg-convert: $(cat "$work/rsvg.err")"
            continue
        fi
        if report="$(python3 "$here/png_ink.py" "$work/render.png")"; then
            pass "$file" "rendered, $report"
        else
            fail "$file" "rendered empty: $report"
        fi
        ;;
    *.glb | *.gltf)
        need_validator
        if report="$(NODE_PATH="$validator_dir/node_modules" node "$here/validate_gltf.js" "$file")"; then
            pass "$file" "$report"
        else
            fail "$file" "$report"
        fi
        ;;
    *) fail "$file" "neither SVG nor glTF" ;;
    esac
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
