#!/bin/bash
# Long monkey run of both shipped programs, one after the other, each for
# SOAK_SECONDS (default 180) of events from the seed SOAK_SEED (default: drawn
# from the clock, printed). Both run even if the first fails; the exit status
# is that of the worse.
#
# Usage: soak.sh BUILD_DIR [MORE MONKEY ARGS...]
# Replay of a failure: SOAK_SEED=<seed> soak.sh BUILD_DIR --events <count>
set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [MONKEY ARGS...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
seconds=${SOAK_SECONDS:-180}
seed=${SOAK_SEED:-$(( $(date +%s%N) / 1000000 % 1000000007 ))}
# Generous: the sanitizer build of each program, its shadow memory and the
# freed memory it holds back before reuse.
max_rss_mb=${SOAK_MAX_RSS_MB:-1500}

# The sanitizer holds freed memory back (256 MB by default) to catch its
# reuse; a smaller hold fills within the run's first quarter, so that growth
# seen later is the program's own. Still many times what the programs
# allocate between two events.
case "${ASAN_OPTIONS:-}" in
    *quarantine_size_mb*) ;;
    *) export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=64" ;;
esac

programs=("$build/explorer/Zelmar" "$build/calculator/interest")
for program in "${programs[@]}"; do
    if [ ! -x "$program" ]; then
        echo "FAIL: $program is not built" >&2
        exit 1
    fi
done

echo "soak: seed $seed, $seconds s per program"
status=0
for program in "${programs[@]}"; do
    name=$(basename "$program")
    E2E_TIME_LIMIT=$((seconds + 180)) bash "$here/../e2e/run_e2e.sh" "$here/monkey.py" \
        --program "$program" --artifacts "$build/soak/$name" \
        --seed "$seed" --seconds "$seconds" --max-rss-mb "$max_rss_mb" "$@"
    result=$?
    [ "$result" -eq 0 ] || status=$result
done
echo "soak: seed $seed: $([ "$status" -eq 0 ] && echo passed || echo FAILED)" \
    "(artifacts and event logs in $build/soak)"
exit "$status"
