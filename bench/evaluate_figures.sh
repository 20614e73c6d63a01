#!/usr/bin/env bash
# The figures of tarvik evaluate on a generated site of 10,000 pages and a generated log of
# 1,000,000 lines that names its pages: the agent learns from the first 80 % of the log's time
# span and is replayed on the rest, with a sweep of the page and size limits. (The speed of the
# replay against the log phase is measured by bench/processing/evaluate_bench.)
#
# Usage: bench/evaluate_figures.sh [BUILD_DIR]   (default build/release)
# Environment: LINES (default 1000000), PAGES (default 10000), WORK (scratch
# directory, default ${TMPDIR:-/tmp}/tarvik-evaluate-bench), GENLOG (the log generator, default
# ../shared/bench/genlog.py beside the repository).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
tarvik="$build/src/cli/tarvik"
gensite="$build/bench/common/tarvik-gensite"
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
    "StatRange=All log files" "BackupDir=$work/backup.zip" --create-dirs >/dev/null
t run Bench --map --log >/dev/null 2>&1

echo "log: $log ($lines lines), site: $site ($pages pages)"
echo "== tarvik evaluate Bench --split 80 --sweep pages=1,2,3,5,8 kb=16,64,256,off"
t evaluate Bench --logs "$log" --split 80 --sweep pages=1,2,3,5,8 kb=16,64,256,off 2>/dev/null |
    awk '/^Sweep/ { on = 1 } NR <= 7 || on'
