# The part every benchmark script shares, sourced with the script's name in $bench and the
# build directory as $1: the paths of the built programs and of the log generator, LINES and
# PAGES, the scratch directory WORK (default ${TMPDIR:-/tmp}/tarvik-$bench), the check that
# what the script needs is there, and a log made once.
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build/release}"
tarvik="$build/src/cli/tarvik"
gensite="$build/bench/common/tarvik-gensite"
lines="${LINES:-1000000}"
pages="${PAGES:-10000}"
work="${WORK:-${TMPDIR:-/tmp}/tarvik-$bench}"
genlog="${GENLOG:-$here/../shared/bench/genlog.py}"

# need PROGRAM...: each must be built (else status 1); without the log generator the script is
# skipped (status 0). Makes the scratch directory.
need() {
    for exe in "$@"; do
        if [ ! -x "$exe" ]; then
            echo "$bench: $exe is not built (make release)" >&2
            exit 1
        fi
    done
    if [ ! -f "$genlog" ]; then
        echo "$bench: skipped, no log generator at $genlog (set GENLOG)"
        exit 0
    fi
    mkdir -p "$work"
}

# generate_log FILE GENLOG-ARGS...: FILE made by the generator with a fixed seed, once.
generate_log() {
    local file="$1"
    shift
    if [ ! -s "$file" ]; then
        python3 "$genlog" --seed 1 "$@" >"$file.tmp"
        mv "$file.tmp" "$file"
    fi
}
