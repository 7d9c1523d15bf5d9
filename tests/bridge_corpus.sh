#!/usr/bin/env bash
# Walks a corpus of 3D models through kon_bridge_corpus, one child process
# per file with a time limit, and tallies the outcomes. Fails on a
# crash, a sanitizer report, a time-out or a Kon file that does not read back.
#
#   tests/bridge_corpus.sh TOOL [CORPUS_DIR [EVERY_NTH [SECONDS [MEMORY_KB [SKIP]]]]]
# MEMORY_KB bounds each child's address space (default 4 GiB, 0 for none:
# the sanitizers reserve far more than they use). SKIP: an extended regular
# expression of paths left out.
# Exits 77 (skipped) when the corpus is missing.
set -uo pipefail
tool=$1
corpus=${2:-/usr/share/assimp/models}
every=${3:-1}
seconds=${4:-60}
memory=${5:-4194304}
skip=${6:-}
if [ ! -d "$corpus" ]; then
    echo "no corpus at $corpus (Debian package assimp-testmodels); skipped"
    exit 77
fi

# Under LeakSanitizer: assimp's own leaks are assimp's to fix.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan_assimp.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

results=$(mktemp)
log=$(mktemp)
trap 'rm -f "$results" "$log"' EXIT
status=0
n=0
while IFS= read -r -d '' file; do
    n=$((n + 1))
    [ $(((n - 1) % every)) -eq 0 ] || continue
    if [ -n "$skip" ] && printf '%s\n' "$file" | grep -qE "$skip"; then continue; fi
    line=$(
        [ "$memory" -eq 0 ] || ulimit -v "$memory"
        timeout "$seconds" "$tool" "$file" 2>"$log"
    )
    rc=$?
    if [ $rc -eq 124 ]; then
        echo "!! time-out after ${seconds}s: $file"
        status=1
    elif [ $rc -ne 0 ] || grep -q "Sanitizer\|runtime error" "$log"; then
        echo "!! exit $rc: $file"
        printf '%s\n' "$line"
        tail -n 30 "$log"
        status=1
    else
        printf '%s\n' "$line" >>"$results"
    fi
done < <(find "$corpus" -type f -print0 | sort -z)

# The tally, then each reason for a refusal with its count.
awk -F'\t' '$2 != "skipped" { n++; c[$2]++ }
    END { printf "%d files: %d converted, %d text only, %d refused\n", n, c["converted"], c["text-only"], c["refused"] }' \
    "$results"
awk -F'\t' '$2 == "refused" || $2 == "text-only" { print $2 ": " $3 }' "$results" |
    sed 's/[0-9][0-9]*/N/g' | sort | uniq -c | sort -rn
skipped=$(awk -F'\t' '$2 == "skipped"' "$results" | wc -l)
echo "($skipped files skipped: not a format assimp imports)"
exit $status
