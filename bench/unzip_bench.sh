#!/bin/sh
# Zip extraction: UnzipArchive (lks_unzip_bench, every archive of a set in one
# process) against bsdtar -xf and unzip -o (a process per archive, as they
# work) and one Python zipfile process per set. Best of 4, the tools taking
# turns in each round and each round started by the next tool; the
# extracted trees are compared once.
#
# Sets: exe (one 512 MiB archive of executable-like data, deflating about
# 1.9x), random (one 256 MiB archive of random data), small (2,000 archives
# of 1-50 KiB files and a few of some MiB).
#
# Usage: bench/unzip_bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to build/native. Build it first (this script builds nothing):
#     cmake --preset native && cmake --build build/native -j2
#   The archives are made once, into UNZIP_BENCH_DATA (default
#   BUILD_DIR/bench/unzip_data, about 600 MB); extraction goes to TMPDIR.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
ours=$build/bench/lks_unzip_bench
data=${UNZIP_BENCH_DATA:-$build/bench/unzip_data}
rounds=4
tools="UnzipArchive bsdtar unzip python"
sets="exe random small"

if [ ! -x "$ours" ]; then
    echo "unzip_bench: $ours not found; build first:" >&2
    echo "  cmake --preset native && cmake --build build/native -j2" >&2
    exit 2
fi
for tool in bsdtar unzip zip python3 md5sum; do
    command -v $tool >/dev/null || { echo "unzip_bench: $tool is missing" >&2; exit 2; }
done

if [ ! -f "$data/sizes.txt" ]; then
    echo "unzip_bench: making the archives in $data (once)" >&2
    python3 "$root/bench/make_unzip_bench_data.py" "$data"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/unzip_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
out=$work/out

archives() {
    case $1 in
        exe) echo "$data/exe.zip" ;;
        random) echo "$data/random.zip" ;;
        small) echo "$data"/small/*.zip ;;
    esac
}

# Extracts set $1 with tool $2 into $out and appends "set tool nanoseconds" to
# $work/times. Written pages of the run before are flushed first, outside the time.
run() {
    rm -rf "$out"
    mkdir -p "$out"
    sync
    list=$(archives "$1")
    start=$(date +%s%N)
    case $2 in
        UnzipArchive) "$ours" "$out" $list ;;
        bsdtar) for a in $list; do bsdtar -xf "$a" -C "$out"; done ;;
        unzip) for a in $list; do unzip -qo "$a" -d "$out"; done ;;
        python) python3 -c 'import sys, zipfile
for a in sys.argv[2:]:
    with zipfile.ZipFile(a) as z:
        z.extractall(sys.argv[1])' "$out" $list ;;
    esac
    end=$(date +%s%N)
    echo "$1 $2 $((end - start))" >> "$work/times"
}

# One line per tree: its files' names and contents.
digest() {
    (cd "$out" && find . -type f | LC_ALL=C sort | xargs md5sum | md5sum | cut -d' ' -f1)
}

for set in $sets; do
    cat $(archives $set) > /dev/null   # into the page cache: every tool reads from memory
done

# Each round starts with another tool: the first run after the last set's
# tree was removed pays for the file system catching up (seen here: the first
# tool of every round 30% slower, whichever it was).
round=1
while [ $round -le $rounds ]; do
    order=$(echo $tools | awk -v r=$round '{ for (i = 0; i < NF; i++) printf "%s ", $((i + r - 1) % NF + 1) }')
    for set in $sets; do
        for tool in $order; do
            run $set $tool
            if [ $round = 1 ]; then
                echo "$set $tool $(digest)" >> "$work/digests"
            fi
        done
    done
    round=$((round + 1))
done

for set in $sets; do
    if [ "$(grep "^$set " "$work/digests" | cut -d' ' -f3 | sort -u | wc -l)" -ne 1 ]; then
        echo "unzip_bench: the tools extracted different trees from set $set:" >&2
        grep "^$set " "$work/digests" >&2
        exit 1
    fi
done

ratio=$(unzip -Zt "$data/exe.zip" | awk '{ gsub(/[^0-9]/, "", $3); gsub(/[^0-9]/, "", $6); print $3 / $6 }')
echo "Zip extraction, best of $rounds, MB = 10^6 uncompressed bytes; exe deflates ${ratio}x"
awk -v tools="$tools" -v sets="$sets" '
    FNR == NR { bytes[$1 == "exe.zip" ? "exe" : $1 == "random.zip" ? "random" : "small"] = $2; next }
    { key = $1 " " $2; if (!(key in best) || $3 < best[key]) best[key] = $3 }
    END {
        nt = split(tools, tool, " ")
        ns = split(sets, set, " ")
        printf "%-8s %-13s %9s %9s\n", "set", "tool", "seconds", "MB/s"
        for (s = 1; s <= ns; s++)
            for (t = 1; t <= nt; t++) {
                key = set[s] " " tool[t]
                printf "%-8s %-13s %9.3f %9.1f\n", set[s], tool[t], best[key] / 1e9,
                       bytes[set[s]] / (best[key] / 1e9) / 1e6
            }
        for (s = 1; s <= ns; s++) {
            ours = best[set[s] " UnzipArchive"]
            line = sprintf("%-8s UnzipArchive speed /", set[s])
            for (t = 2; t <= nt; t++)
                line = line sprintf("  %s %.2f", tool[t], best[set[s] " " tool[t]] / ours)
            print line
        }
        print "goals: exe UnzipArchive / bsdtar >= 0.95; small UnzipArchive / python >= 1.00"
    }' "$data/sizes.txt" "$work/times"
