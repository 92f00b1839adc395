#!/bin/sh
# MD5 of one large file: GetFileMD5 against md5sum and openssl md5, timed in the
# same run, best of 3 per tool, the tools taking turns in each round.
#
# Usage: bench/md5_bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to build/native. Build it first (this script builds nothing):
#     cmake --preset native && cmake --build build/native -j2
#   MD5_BENCH_MIB sets the file size in MiB (default 512); TMPDIR where it is made.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
ours=$build/bench/lks_md5_bench
mib=${MD5_BENCH_MIB:-512}
rounds=3

if [ ! -x "$ours" ]; then
    echo "md5_bench: $ours not found; build first:" >&2
    echo "  cmake --preset native && cmake --build build/native -j2" >&2
    exit 2
fi
for tool in md5sum openssl; do
    command -v $tool >/dev/null || { echo "md5_bench: $tool is missing" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/md5_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
file=$work/data.bin
head -c $((mib * 1024 * 1024)) /dev/urandom > "$file"
cat "$file" > /dev/null   # into the page cache: every tool reads from memory
bytes=$(wc -c < "$file")

# Prints the digest of $file with tool $1 and appends "tool seconds" to $work/times.
run() {
    start=$(date +%s%N)
    case $1 in
        GetFileMD5) digest=$("$ours" "$file" | cut -d' ' -f1) ;;
        md5sum) digest=$(md5sum "$file" | cut -d' ' -f1) ;;
        openssl) digest=$(openssl md5 -r "$file" | cut -d' ' -f1) ;;
    esac
    end=$(date +%s%N)
    echo "$1 $(( end - start ))" >> "$work/times"
    echo "$1 $digest" >> "$work/digests"
}

round=1
while [ $round -le $rounds ]; do
    for tool in GetFileMD5 md5sum openssl; do
        run $tool
    done
    round=$((round + 1))
done

if [ "$(cut -d' ' -f2 "$work/digests" | sort -u | wc -l)" -ne 1 ]; then
    echo "md5_bench: the tools disagree:" >&2
    sort -u "$work/digests" >&2
    exit 1
fi

echo "MD5 of $mib MiB ($bytes bytes), best of $rounds, MB = 10^6 bytes"
awk -v bytes="$bytes" '
    { if (!($1 in best) || $2 < best[$1]) best[$1] = $2 }
    END {
        for (t in best) rate[t] = bytes / (best[t] / 1e9) / 1e6
        printf "%-12s %10s %10s\n", "tool", "seconds", "MB/s"
        split("GetFileMD5 md5sum openssl", order, " ")
        for (i = 1; i <= 3; i++) {
            t = order[i]
            printf "%-12s %10.3f %10.1f\n", t, best[t] / 1e9, rate[t]
        }
        printf "GetFileMD5 / md5sum:      %.3f (goal >= 0.95)\n", rate["GetFileMD5"] / rate["md5sum"]
        printf "GetFileMD5 / openssl md5: %.3f\n", rate["GetFileMD5"] / rate["openssl"]
    }' "$work/times"
