#!/usr/bin/env bash
# The replay of tarvik evaluate beside the log phase of tarvik run, on the same generated log
# (1,000,000 lines over a generated site of 10,000 pages): the seconds of each, in the same
# rounds, from the commands' own phase timings. Then the figures of one evaluation of that site
# with --split 80 and a sweep of the limits.
#
# Usage: bench/evaluate.sh [BUILD_DIR]   (default build/release)
# Environment: ROUNDS (default 3), LINES (default 1000000), PAGES (default 10000), WORK (scratch
# directory, default ${TMPDIR:-/tmp}/tarvik-evaluate-bench), GENLOG (the log generator, default
# ../shared/bench/genlog.py beside the repository).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
tarvik="$build/src/cli/tarvik"
gensite="$build/bench/common/tarvik-gensite"
rounds="${ROUNDS:-3}"
lines="${LINES:-1000000}"
pages="${PAGES:-10000}"
work="${WORK:-${TMPDIR:-/tmp}/tarvik-evaluate-bench}"
genlog="${GENLOG:-$here/../shared/bench/genlog.py}"

for exe in "$tarvik" "$gensite"; do
    if [ ! -x "$exe" ]; then
        echo "evaluate: $exe is not built (make release)" >&2
        exit 1
    fi
done
if [ ! -f "$genlog" ]; then
    echo "evaluate: skipped, no log generator at $genlog (set GENLOG)"
    exit 0
fi
mkdir -p "$work"
site="$work/site-$pages"
log="$work/access-$pages-$lines.log"
if [ ! -d "$site" ]; then
    "$gensite" "$site.tmp" "$pages" 1 >/dev/null
    mv "$site.tmp" "$site"
fi
if [ ! -s "$log" ]; then
    python3 "$genlog" --lines "$lines" --pages "$pages" --seed 1 >"$log.tmp"
    mv "$log.tmp" "$log"
fi

# A scratch settings file and working directory: one agent over the generated site and log.
reg="$work/tarvik.reg"
wd="$work/workdir"
rm -rf "$reg" "$wd"
mkdir -p "$wd"
t() { "$tarvik" --registry "$reg" --workdir "$wd" "$@"; }
t add Description=Bench DomainName=www.example.com "RootDirectory=$site" "LogFile=$log" \
    "StatRange=All log files" --create-dirs >/dev/null
t run Bench --map --log >/dev/null 2>&1

# phase TITLE < timings: the seconds on the line of that phase in --timings.
phase() { awk -v title="$1" 'index($0, title) { print $(NF - 1); exit }'; }

echo "log: $log ($lines lines), site: $site ($pages pages), $rounds rounds, $(nproc) cores"
for ((i = 1; i <= rounds; i++)); do
    learn=$(t run Bench --log --timings 2>&1 >/dev/null | phase "Analyzing log files")
    replay=$(t evaluate Bench --logs "$log" --timings 2>&1 >/dev/null | phase "Replaying log files")
    echo "round $i: log phase $learn s, replay $replay s"
done

echo "== tarvik evaluate Bench --split 80 --sweep pages=1,2,3,5,8 kb=16,64,256,off"
t evaluate Bench --logs "$log" --split 80 --sweep pages=1,2,3,5,8 kb=16,64,256,off 2>/dev/null |
    awk 'NR <= 8 || /^Sweep/ { on = /^Sweep/ ? 1 : on } NR <= 8 || on'
