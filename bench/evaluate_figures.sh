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

bench=evaluate-bench
source "$(dirname "$0")/common/prelude.sh"
need "$tarvik" "$gensite"
site="$work/site-$pages"
log="$work/access-$pages-$lines.log"
if [ ! -d "$site" ]; then
    "$gensite" "$site.tmp" "$pages" 1 >/dev/null
    mv "$site.tmp" "$site"
fi
generate_log "$log" --lines "$lines" --pages "$pages"

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
