#!/usr/bin/env bash
# A whole update over a slow link: a 200-file release (make_update_bench_data.py,
# about 6 MiB) published by lks-publish, served by nginx on 127.0.0.1 through
# bench/delay_proxy.py, which holds every byte DELAY ms each way (default 25:
# a round trip of 50 ms). Timed in the same run, taking turns:
#   lksupdate-cli          native Release build, pipelined (the default)
#   lksupdate-cli, depth 0 the same without requests sent ahead
#   lksupdate-cli.exe      the 64-bit Windows build under Wine, when built
#   baseline               curl (one kept-alive connection) + python3 zipfile + cp -a
# Prints the best wall time of each (of ROUNDS), its ratio to the baseline
# and the cost of one file in round trips.
#
# Usage: bench/slow_link_bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to build/bench-native (configured with the native preset
#   when missing). SLOW_BENCH_DELAY_MS (25), SLOW_BENCH_ROUNDS (3),
#   SLOW_BENCH_FILES (200); the Windows build is taken from build/win64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/nginx.sh"
build=${1:-$root/build/bench-native}
delay=${SLOW_BENCH_DELAY_MS:-25}
rounds=${SLOW_BENCH_ROUNDS:-3}
files=${SLOW_BENCH_FILES:-200}
cli_win=$root/build/win64/tools/lksupdate-cli.exe
wineprefix=${LKS_WINEPREFIX:-$root/build/wineprefix}

for tool in curl python3 nginx; do
    command -v $tool >/dev/null || { echo "slow_link_bench: $tool is missing (scripts/bootstrap)" >&2; exit 2; }
done
[ -f "$build/CMakeCache.txt" ] || cmake --preset native -B "$build" >/dev/null
cmake --build "$build" -j2 --target lks-publish lksupdate-cli >/dev/null
publish=$build/tools/lks-publish
updater=$build/tools/lksupdate-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/slow_link_bench.XXXXXX")
chmod 755 "$work"
proxy_pid=""
wine_started=""
cleanup() {
    [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
    nginx_stop "$work/nginx"
    [ -n "$wine_started" ] && WINEPREFIX="$wineprefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

python3 "$root/bench/make_update_bench_data.py" "$work/release" 0.02 "$files" > "$work/sizes.txt"
"$publish" "$work/release" "$work/server" V --nginx-rules "$work/nginx-rules.conf" >/dev/null
(cd "$work/release" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$work/files.txt"
chmod -R a+rX "$work"
port=$(free_port)
nginx_start "$work/nginx" "$work/server" "$port" "include $work/nginx-rules.conf;"
# The relay lives at most an hour; it prints its port first.
exec 9< <(exec python3 "$root/bench/delay_proxy.py" "$port" "$delay" 3600)
proxy_pid=$!
read -r -t 10 proxy_port <&9 || { echo "slow_link_bench: the delay proxy did not start" >&2; exit 1; }

same_tree() { diff -r -q -x codelist.txt "$work/release" "$1" >/dev/null; }

# timed NAME COMMAND...: appends "NAME seconds" to $work/times.
timed() {
    local name=$1 start end
    shift
    start=$(date +%s%N)
    "$@" > "$work/out.log" 2>&1 || { echo "slow_link_bench: $name failed: $*" >&2; tail -5 "$work/out.log" >&2; exit 1; }
    end=$(date +%s%N)
    echo "$name $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" >> "$work/times"
}

run_updater() {
    local name=$1 dir=$work/$1-$2
    shift 2
    mkdir -p "$dir/install"
    timed "$name" "$updater" --install "$dir/install" --version V --host 127.0.0.1 \
        --port "$proxy_port" --temp "$dir/temp" "$@"
    same_tree "$dir/install" || { echo "slow_link_bench: $name installed other files" >&2; exit 1; }
}

run_wine() {
    local dir=$work/wine-$1
    mkdir -p "$dir/install"
    timed wine "$root/scripts/wine-run" "$cli_win" --install "Z:${dir//\//\\}\\install" --version V \
        --host 127.0.0.1 --port "$proxy_port" --temp "Z:${dir//\//\\}\\temp"
    # Wine writes the GBK names of the tree as UTF-8 ones: compare contents by checksum.
    local want got
    want=$(cd "$work/release" && find . -type f -exec md5sum {} + | awk '{ print $1 }' | sort | md5sum)
    got=$(cd "$dir/install" && find . -type f ! -name codelist.txt -exec md5sum {} + | awk '{ print $1 }' | sort | md5sum)
    [ "$want" = "$got" ] || { echo "slow_link_bench: lksupdate-cli.exe installed other files" >&2; exit 1; }
}

run_baseline() {
    local dir=$work/base-$1
    mkdir -p "$dir/install"
    {
        echo "url = \"http://127.0.0.1:$proxy_port/V/codelist.txt.zip\""
        echo "output = \"$dir/dl/codelist.txt.zip\""
        while IFS= read -r f; do
            echo "url = \"http://127.0.0.1:$proxy_port/V/$f.zip\""
            echo "output = \"$dir/dl/$f.zip\""
        done < "$work/files.txt"
    } > "$dir/curl.cfg"
    local start end
    start=$(date +%s%N)
    curl -s --fail --create-dirs -K "$dir/curl.cfg"
    python3 -c 'import os, sys, zipfile
dl, out = sys.argv[1], sys.argv[2]
for folder, _, names in os.walk(dl):
    target = os.path.join(out, os.path.relpath(folder, dl))
    for name in names:
        if name != "codelist.txt.zip":
            with zipfile.ZipFile(os.path.join(folder, name)) as z:
                z.extractall(target)' "$dir/dl" "$dir/stage"
    cp -a "$dir/stage/." "$dir/install/"
    end=$(date +%s%N)
    echo "baseline $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" >> "$work/times"
    same_tree "$dir/install" || { echo "slow_link_bench: the baseline installed other files" >&2; exit 1; }
}

if [ -f "$cli_win" ]; then
    WINEPREFIX="$wineprefix" wineserver -p </dev/null >/dev/null 2>&1 && wine_started=1
    "$root/scripts/wine-run" wineboot </dev/null >/dev/null 2>&1 || true
fi
for round in $(seq 1 "$rounds"); do
    run_baseline "$round"
    run_updater updater "$round"
    run_updater depth0 "$round" --pipeline-depth 0
    [ -f "$cli_win" ] && run_wine "$round"
done

awk -v files="$(wc -l < "$work/files.txt")" -v bytes="$(awk '{ print $3 }' "$work/sizes.txt")" \
    -v delay="$delay" -v rounds="$rounds" '
    { if (!($1 in best) || $2 < best[$1]) best[$1] = $2 }
    function row(name, label) {
        if (!(name in best)) return
        printf "%-44s %8.3f %8.2f %10.2f\n", label, best[name], best["baseline"] / best[name],
               best[name] / (files + 1) / (2 * delay / 1000)
    }
    END {
        printf "Slow link: %d files, %.1f MiB, nginx behind a relay adding %d ms each way (round trip %d ms); best of %d\n",
               files, bytes / 1048576, delay, 2 * delay, rounds
        printf "%-44s %8s %8s %10s\n", "", "wall s", "base/x", "RTT/file"
        row("baseline", "baseline: curl keep-alive + zipfile + cp -a")
        row("updater", "lksupdate-cli, pipelined (native Release)")
        row("depth0", "lksupdate-cli, --pipeline-depth 0")
        row("wine", "lksupdate-cli.exe under Wine, pipelined")
    }' "$work/times"
