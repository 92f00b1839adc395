#!/bin/sh
# Planning: BuildDownloadList (lks_planning_bench, with a display that shows
# nothing) against the same plan in plain Python (planning_reference.py: both
# lists read into dicts, joined by path, the temporary folder probed and its
# files hashed with hashlib), on the same data in the same run. Best of 5,
# the two taking turns; each times its planning in-process, without start-up.
#
# Data (fixed seed): a new list of 100,000 entries against an installed list
# of about 100,000: 94% unchanged, 4% changed, 2% new, 2% of the installed
# ones gone; a quarter of the changed and new entries have a file in the
# temporary folder, two thirds of them with the listed content.
#
# Usage: bench/planning_bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to build/bench-native; it is configured with the native
#   preset when missing, and the program is built in it (-j2).
#   PLANNING_BENCH_ENTRIES sets the entries of the new list; TMPDIR where the data goes.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench-native}
entries=${PLANNING_BENCH_ENTRIES:-100000}
rounds=5

[ -f "$build/CMakeCache.txt" ] || cmake --preset native -B "$build" >/dev/null
cmake --build "$build" -j2 --target lks_planning_bench >/dev/null
ours=$build/bench/lks_planning_bench
[ -x /usr/bin/time ] || { echo "planning_bench: /usr/bin/time is missing (scripts/bootstrap)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/planning_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
made=$("$ours" make "$work/data" "$entries")
installed=$(wc -l < "$work/data/install/codelist.txt")

# Runs planner $1 once; appends "planner seconds downloads fetched result maxrss-KiB".
run() {
    case $1 in
        BuildDownloadList) set -- "$1" "$ours" plan "$work/data" ;;
        python) set -- "$1" python3 "$root/bench/planning_reference.py" "$work/data" ;;
    esac
    name=$1
    shift
    out=$(/usr/bin/time -f %M -o "$work/rss" "$@")
    echo "$name $out $(cat "$work/rss")" >> "$work/times"
}

round=1
while [ $round -le $rounds ]; do
    run BuildDownloadList
    run python
    round=$((round + 1))
done

if [ "$(cut -d' ' -f3- "$work/times" | cut -d' ' -f1-3 | sort -u | wc -l)" -ne 1 ]; then
    echo "planning_bench: the plans differ (downloads, fetched, result):" >&2
    cut -d' ' -f1,3-5 "$work/times" | sort -u >&2
    exit 1
fi

echo "Planning $entries new entries against $installed installed, best of $rounds"
echo "($made)"
awk '
    { if (!($1 in best) || $2 < best[$1]) best[$1] = $2
      if ($6 > rss[$1]) rss[$1] = $6
      plan = $3 " downloads, " $4 " found fetched" }
    END {
        printf "%-40s %9s %12s\n", "planner", "seconds", "max RSS MiB"
        printf "%-40s %9.3f %12.1f\n", "BuildDownloadList", best["BuildDownloadList"], rss["BuildDownloadList"] / 1024
        printf "%-40s %9.3f %12.1f\n", "python3 dicts + hashlib (reference)", best["python"], rss["python"] / 1024
        printf "both plan %s\n", plan
        printf "BuildDownloadList speed / python: %.2f (goal: BuildDownloadList under 1 s)\n",
               best["python"] / best["BuildDownloadList"]
    }' "$work/times"
