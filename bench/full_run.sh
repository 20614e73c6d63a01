#!/usr/bin/env bash
# A whole processing run as one process: `tarvik run --timings` on a generated 10,000-page static
# site with a 1,000,000-line log whose requests name that site's pages. Prints each phase's wall
# time and the peak memory, for a first run (every page gets its block) and a second run over
# the same site and logs (nothing changes, so nothing is rewritten). The site, the settings and
# the working directory live in a scratch directory; tarvik fills the working directory with the
# runtime files of the build when it first opens it.
#
# Usage: bench/full_run.sh [BUILD_DIR]   (default build/release)
# Environment: PAGES (default 10000), LINES (default 1000000), WORK (scratch directory, default
# ${TMPDIR:-/tmp}/tarvik-run-bench), GENLOG (the log generator, default ../shared/bench/genlog.py
# beside the repository).
set -euo pipefail

bench=run-bench
source "$(dirname "$0")/common/prelude.sh"
need "$tarvik" "$gensite"
log="$work/combined-$pages-$lines.log"
generate_log "$log" --lines "$lines" --pages "$pages"

rm -rf "$work/site" "$work/workdir" "$work/settings.reg" "$work/backup.zip"
"$gensite" "$work/site" "$pages" 1
mkdir -p "$work/workdir"
export TARVIK_REGISTRY="$work/settings.reg"
run() { "$tarvik" --workdir "$work/workdir" "$@"; }
run add Description=Benchmark DomainName=www.example.com "RootDirectory=$work/site" \
    "LogFile=$log" "StatRange=All log files" "BackupDir=$work/backup.zip" --create-dirs >/dev/null

echo "site: $pages pages; log: $lines lines ($(( $(stat -c %s "$log") / 1000000 )) MB); $(nproc) cores"
for round in first second; do
    echo "== $round run"
    start=$(date +%s.%N)
    run run Benchmark --timings 2>&1 >/dev/null | sed -n '/^Phase timings:/,$p'
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN{printf "  wall clock of the process            %8.2f s\n", e - s}'
done
