#!/usr/bin/env bash
# The whole log phase (read, parse, visitors, transitions, timings) as one process, beside wc -l
# and a one-line mawk count of request paths on the same file, in the same rounds; and the peak
# memory of the phase for two log sizes, which must not grow with the lines.
#
# Usage: bench/log_phase.sh [BUILD_DIR]   (default build/release)
# Environment: ROUNDS (default 5), LINES (default 1000000), WORK (scratch directory for the
# generated logs, default ${TMPDIR:-/tmp}/tarvik-log-bench), GENLOG (the log generator,
# default ../shared/bench/genlog.py beside the repository), FORMATS=1 to time the other formats
# too (at LINES/5 lines each).
set -euo pipefail

bench=log-bench
source "$(dirname "$0")/common/prelude.sh"
need "$tarvik"
rounds="${ROUNDS:-5}"
for tool in mawk wc python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "log-bench: $tool is missing" >&2; exit 1; }
done

# generate FORMAT LINES: the log's path, made once.
generate() {
    generate_log "$work/$1-$2.log" --lines "$2" --format "$1"
    echo "$work/$1-$2.log"
}

# measure LABEL COMMAND...: one run; prints "seconds peak-KB" and keeps stdout away.
measure() {
    local label="$1"
    shift
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/$label.err" || {
        echo "log_phase: $label failed:" >&2
        cat "$work/$label.err" >&2
        exit 1
    }
    cat "$work/time.txt"
}

median() { sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

log="$(generate combined "$lines")"
size_mb=$(( $(stat -c %s "$log") / 1000000 ))
echo "log: $log ($lines lines, $size_mb MB), $rounds rounds, $(nproc) cores"
: >"$work/rounds.txt"
for ((i = 1; i <= rounds; i++)); do
    read -r wc_s _ < <(measure wc wc -l "$log")
    read -r mawk_s _ < <(measure mawk mawk '{c[$7]++} END{print length(c)}' "$log")
    read -r tarvik_s tarvik_kb < <(measure tarvik "$tarvik" logs "$log" --domain www.example.com)
    ratio=$(awk -v a="$tarvik_s" -v b="$mawk_s" 'BEGIN{printf "%.2f", (b > 0) ? a / b : 0}')
    echo "round $i: wc $wc_s s, mawk $mawk_s s, tarvik logs $tarvik_s s ($tarvik_kb KB), ratio $ratio"
    echo "$wc_s $mawk_s $tarvik_s $ratio $tarvik_kb" >>"$work/rounds.txt"
done
wc_med=$(cut -d' ' -f1 "$work/rounds.txt" | median)
mawk_med=$(cut -d' ' -f2 "$work/rounds.txt" | median)
tarvik_med=$(cut -d' ' -f3 "$work/rounds.txt" | median)
ratio_med=$(cut -d' ' -f4 "$work/rounds.txt" | median)
peak_kb=$(cut -d' ' -f5 "$work/rounds.txt" | sort -n | tail -1)
echo "median: wc -l $wc_med s, mawk $mawk_med s, tarvik logs $tarvik_med s;" \
     "tarvik/mawk $ratio_med (goal: at most 1.00); peak $peak_kb KB"

# Memory: a quarter of the lines over the same site and clients.
small="$(generate combined $((lines / 4)))"
read -r _ small_kb < <(measure tarvik-small "$tarvik" logs "$small" --domain www.example.com)
echo "peak memory: $((lines / 4)) lines $small_kb KB, $lines lines $peak_kb KB"

if [ "${FORMATS:-0}" = 1 ]; then
    part=$((lines / 5))
    for format in combined common iis w3c; do
        file="$(generate "$format" "$part")"
        read -r mawk_s _ < <(measure mawk mawk '{c[$7]++} END{print length(c)}' "$file")
        read -r tarvik_s tarvik_kb < <(measure "tarvik-$format" "$tarvik" logs "$file" \
            --domain www.example.com)
        echo "$format, $part lines: mawk $mawk_s s, tarvik logs $tarvik_s s ($tarvik_kb KB)"
    done
fi
