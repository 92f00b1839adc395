#!/usr/bin/env bash
# A whole update: a 2,000-file release of about 300 MiB (make_update_bench_data.py:
# mixed sizes and compressibility, 30 folders), published by lks-publish and
# served by nginx on 127.0.0.1, installed into an empty installation by
# lksupdate-cli (native Release build) against a baseline of the fastest
# single-process tools, in the same run, taking turns:
#   curl      every archive (and the list) over one kept-alive connection
#   python3   one zipfile process unpacking them all into a staging folder
#   cp -a     the staging folder into the installation
# Prints the best wall time of each (of 5) with its CPU time, the ratio
# baseline time / updater time, the updater's stages (its --timings; verify
# is GetFileMD5 over the same files timed by lks_md5_bench, unpack the rest of
# unpack+verify) and the peak memory (max RSS) of each program. Then once more
# with the same files 4x larger, to show whether memory stays flat.
#
# Usage: bench/update_bench.sh [BUILD_DIR]
#   BUILD_DIR defaults to build/bench-native; it is configured with the native
#   preset when missing, and the programs are built in it (-j2).
#   The releases and their server trees are made once into UPDATE_BENCH_DATA
#   (default /tmp/lks_update_bench_data, about 2.5 GB with the 4x release;
#   remove it to make them again). The runs work in a fresh folder under
#   TMPDIR (about 11 GB by the end, removed on exit).
#   UPDATE_BENCH_ROUNDS (default 5); UPDATE_BENCH_FLAT=0 skips the 4x release.
#   UPDATE_BENCH_WINE=0 skips the rows of lksupdate-cli.exe (the 64-bit Windows
#   build in build/win64, run under Wine in build/wineprefix), timed when built.
#   UPDATE_BENCH_WIZARD=0 skips the row of the wizard: lksupdate.exe (build/win64,
#   with its lks-wizard-driver) under Wine on a private Xvfb display, updating
#   an empty installation in the prefix's drive C from a second nginx on
#   127.0.0.1:80 (the wizard asks port 80 only; the row is left out when that
#   port is taken), the driver pressing Next. Timed from the start of the first
#   request in that nginx's log to the closing text as the driver reads it
#   (it looks every 20 ms); the driver's own start under Wine lies outside.
#   UPDATE_BENCH_IDLE=1 times the baseline also under chrt --idle 0: the
#   updater's worker runs under SCHED_IDLE, which loses to any other busy
#   process, so on a machine that is not idle this is the even comparison.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/nginx.sh"
build=${1:-$root/build/bench-native}
# The runs change folders: a relative BUILD_DIR is taken from where we started.
case $build in /*) ;; *) build=$PWD/$build ;; esac
data=${UPDATE_BENCH_DATA:-/tmp/lks_update_bench_data}
rounds=${UPDATE_BENCH_ROUNDS:-5}
flat=${UPDATE_BENCH_FLAT:-1}
idle=${UPDATE_BENCH_IDLE:-0}
cli_win=$root/build/win64/tools/lksupdate-cli.exe
wineprefix=${LKS_WINEPREFIX:-$root/build/wineprefix}
wine=${UPDATE_BENCH_WINE:-1}
[ -f "$cli_win" ] || wine=0
wizard_exe=$root/build/win64/app/lksupdate.exe
wizard_driver=$root/build/win64/tests/ui/lks-wizard-driver.exe
wizard=${UPDATE_BENCH_WIZARD:-1}
[ "$wine" != 0 ] && [ -f "$wizard_exe" ] && [ -f "$wizard_driver" ] || wizard=0
if [ "$wizard" != 0 ] && ! python3 -c 'import socket
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # as nginx binds: a closed run may leave TIME_WAIT
s.bind(("127.0.0.1", 80))' 2>/dev/null; then
    echo "update_bench: 127.0.0.1:80 is taken, the wizard's row is left out" >&2
    wizard=0
fi

for tool in curl python3 nginx; do
    command -v $tool >/dev/null || { echo "update_bench: $tool is missing (scripts/bootstrap)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "update_bench: /usr/bin/time is missing (scripts/bootstrap)" >&2; exit 2; }
[ -f "$build/CMakeCache.txt" ] || (cd "$root" && cmake --preset native -B "$build" >/dev/null)
cmake --build "$build" -j2 --target lks-publish lksupdate-cli lks_md5_bench >/dev/null
publish=$build/tools/lks-publish
updater=$build/tools/lksupdate-cli
md5=$build/bench/lks_md5_bench

# nginx's workers must read the served trees: everything below /tmp, mode 755.
# Release SCALE is made as version V<SCALE>, its file list in files-<SCALE>.txt.
make_release() {
    local scale=$1
    [ -f "$data/made-$scale.txt" ] && return
    echo "update_bench: making the ${scale}x release and its server tree in $data (once)" >&2
    rm -rf "$data/release-$scale" "$data/server/V$scale" "$data/server/.V$scale".*
    mkdir -p "$data/server"
    chmod 755 "$data" "$data/server"
    python3 "$root/bench/make_update_bench_data.py" "$data/release-$scale" "$scale" > "$data/sizes-$scale.txt"
    "$publish" "$data/release-$scale" "$data/server" "V$scale" --nginx-rules "$data/nginx-rules.conf" >/dev/null
    (cd "$data/release-$scale" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$data/files-$scale.txt"
    chmod -R a+rX "$data"
    date > "$data/made-$scale.txt"
}
mkdir -p "$data"
chmod 755 "$data"
make_release 1
[ "$flat" = 0 ] || make_release 4

work=$(mktemp -d "${TMPDIR:-/tmp}/update_bench.XXXXXX")
port=$(free_port)
wine_started=""
xvfb_pid=""
wizard_installs=()
cleanup() {
    nginx_stop "$work/nginx"
    if [ "$wizard" != 0 ]; then
        nginx_stop "$work/nginx80"
        "$root/scripts/wine-run" reg delete 'HKLM\Software\Larkspan Office' /f </dev/null >/dev/null 2>&1 || true
    fi
    [ -z "$wine_started" ] || WINEPREFIX="$wineprefix" wineserver -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work" "${wizard_installs[@]}"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
nginx_start "$work/nginx" "$data/server" "$port" "include $data/nginx-rules.conf;"

# The baseline's curl configuration: the list and every archive, one output file each in $2/dl.
curl_config() {
    local scale=$1 dir=$2
    echo "url = \"http://127.0.0.1:$port/V$scale/codelist.txt.zip\""
    echo "output = \"$dir/dl/codelist.txt.zip\""
    while IFS= read -r f; do
        echo "url = \"http://127.0.0.1:$port/V$scale/$f.zip\""
        echo "output = \"$dir/dl/$f.zip\""
    done < "$data/files-$scale.txt"
}

# Runs a command under /usr/bin/time; appends "NAME nanoseconds maxrss-KiB cpu-seconds" to $work/times.
timed() {
    local name=$1 start end
    shift
    start=$(date +%s%N)
    if ! /usr/bin/time -f '%M %U %S' -o "$work/rss" "$@"; then
        echo "update_bench: $name failed: $*" >&2
        exit 1
    fi
    end=$(date +%s%N)
    echo "$name $((end - start)) $(tail -1 "$work/rss" | awk '{ print $1, $2 + $3 }')" >> "$work/times"
}

# The same files and bytes as the release (its list aside).
same_tree() {
    diff -r -q -x codelist.txt "$data/release-$1" "$2" >/dev/null
}

# Every run gets folders of its own, removed only at the end: on ext4 without
# a journal, making files soon after thousands were deleted costs much more.
run_updater() {
    local scale=$1 round=$2 dir=$work/u$1-$2
    mkdir -p "$dir/install"
    sync
    timed "updater-$round" "$updater" --install "$dir/install" --version "V$scale" --host 127.0.0.1 \
        --port "$port" --temp "$dir/temp" --timings > "$dir/updater.out" 2> "$work/timings-$round"
    same_tree "$scale" "$dir/install" || { echo "update_bench: the updater installed other files" >&2; exit 1; }
    # Verify's share: GetFileMD5 over the same files, in the page cache as they were for the updater.
    local start end
    start=$(date +%s%N)
    (cd "$dir/install" && xargs -d '\n' "$md5" < "$data/files-$scale.txt" > /dev/null)
    end=$(date +%s%N)
    echo "verify-$round $((end - start)) 0 0" >> "$work/times"
}

# The Windows build under Wine, with the same tree; its stages in $work/wine-timings-ROUND.
run_wine() {
    local scale=$1 round=$2 dir=$work/w$1-$2
    mkdir -p "$dir/install"
    sync
    timed "wine-$round" "$root/scripts/wine-run" "$cli_win" --install "Z:${dir//\//\\}\\install" \
        --version "V$scale" --host 127.0.0.1 --port "$port" --temp "Z:${dir//\//\\}\\temp" --timings \
        > "$dir/updater.out" 2> "$work/wine-timings-$round"
    same_tree "$scale" "$dir/install" || { echo "update_bench: lksupdate-cli.exe installed other files" >&2; exit 1; }
}

# The wizard under Wine + Xvfb (see UPDATE_BENCH_WIZARD above): "wizard-ROUND ns 0 0" in $work/times.
wizard_text_completed='完成更新,单击下一步退出更新系统.'
drive() { "$root/scripts/wine-run" "$wizard_driver" "$@" </dev/null; }
run_wizard() {
    local scale=$1 round=$2 name=lksbench-$$-$2 drive_c install log start end pid
    drive_c=$(readlink -f "$wineprefix/dosdevices/c:")
    install=$drive_c/$name
    wizard_installs+=("$install")
    mkdir -p "$install" "$work/wizard"
    printf 'UPDATEHOST=127.0.0.1\r\n' > "$install/standalone.ini"
    rm -rf "$drive_c/temp/lksupdate"
    "$root/scripts/wine-run" reg add 'HKLM\Software\Larkspan Office' /v Path /t REG_SZ /d "C:\\$name" /f </dev/null >/dev/null 2>&1
    "$root/scripts/wine-run" reg add 'HKLM\Software\Larkspan Office' /v Version /t REG_SZ /d "V$scale" /f </dev/null >/dev/null 2>&1
    # Run as the relaunched copy, which shows the wizard itself.
    cp "$wizard_exe" "$work/wizard/lksupdate_tmp.exe"
    log=$work/nginx80/logs/timed.log
    : > "$log"
    sync
    "$root/scripts/wine-run" "$work/wizard/lksupdate_tmp.exe" </dev/null >"$work/wizard/wizard-$round.log" 2>&1 &
    pid=$!
    drive wait-buttons next,cancel 60000 >/dev/null || { echo "update_bench: the wizard did not show its first page" >&2; exit 1; }
    drive press next >/dev/null
    drive wait-text 1003 "$wizard_text_completed" 1200000 >/dev/null ||
        { echo "update_bench: the wizard did not complete the update: $(drive page-text 1003)" >&2; exit 1; }
    end=$(date +%s%N)
    drive press next >/dev/null
    drive wait-buttons finish,cancel 60000 >/dev/null
    drive press finish >/dev/null
    drive wait-gone "" 60000 >/dev/null || drive kill >/dev/null || true
    wait "$pid" || true
    # Each line: the time the request was logged (its end) and its own time, in seconds.
    start=$(awk 'NR == 1 { printf "%.0f", ($1 - $2) * 1e9 }' "$log")
    [ -n "$start" ] || { echo "update_bench: nginx logged no request of the wizard" >&2; exit 1; }
    echo "wizard-$round $((end - start)) 0 0" >> "$work/times"
    diff -r -q -x codelist.txt -x standalone.ini "$data/release-$scale" "$install" >/dev/null ||
        { echo "update_bench: the wizard installed other files" >&2; exit 1; }
}

# $3, when given, names the tools (curl-, python-, cp-) and runs them under chrt --idle 0.
run_baseline() {
    local scale=$1 round=$2 idle=${3:-} dir=$work/b$1-$2${3:-}
    local prefix=()
    [ -z "$idle" ] || prefix=(chrt --idle 0)
    mkdir -p "$dir/install"
    curl_config "$scale" "$dir" > "$dir/curl.cfg"
    sync
    timed "${idle}curl-$round" "${prefix[@]}" curl -s --fail --create-dirs -K "$dir/curl.cfg"
    timed "${idle}python-$round" "${prefix[@]}" python3 -c 'import os, sys, zipfile
dl, out = sys.argv[1], sys.argv[2]
for folder, _, names in os.walk(dl):
    target = os.path.join(out, os.path.relpath(folder, dl))
    for name in names:
        with zipfile.ZipFile(os.path.join(folder, name)) as z:
            z.extractall(target)' "$dir/dl" "$dir/stage"
    timed "${idle}cp-$round" "${prefix[@]}" cp -a "$dir/stage/." "$dir/install/"
    same_tree "$scale" "$dir/install" || { echo "update_bench: the baseline installed other files" >&2; exit 1; }
}

# Prints the table of the rounds in $work/times, then clears it.
report() {
    local scale=$1 files bytes archives
    files=$(wc -l < "$data/files-$scale.txt")
    bytes=$(awk '{ print $3 }' "$data/sizes-$scale.txt")
    archives=$(du -sbL "$data/server/V$scale" | cut -f1)
    awk -v files="$files" -v bytes="$bytes" -v archives="$archives" -v rounds="$2" -v dir="$work" '
        function base(p, r) { return t[p "curl", r] + t[p "python", r] + t[p "cp", r] }
        function basecpu(p, r) { return c[p "curl", r] + c[p "python", r] + c[p "cp", r] }
        function row(label, wall, cpu, kib) { printf "%-42s %8.3f %8.3f %12.1f\n", label, wall, cpu, kib / 1024 }
        {
            split($1, part, "-"); tool = part[1]; round = part[2]
            t[tool, round] = $2 / 1e9; c[tool, round] = $4
            if (tool ~ /^idle/) idle = 1
            if ($3 > peak[tool]) peak[tool] = $3
        }
        END {
            for (r = 1; r <= rounds; r++) {
                if (!bb || base("", r) < base("", bb)) bb = r
                if (!ib || base("idle", r) < base("idle", ib)) ib = r
                if (!ub || t["updater", r] < t["updater", ub]) ub = r
                if (!vb || t["verify", r] < t["verify", vb]) vb = r
            }
            basepeak = peak["curl"]
            if (peak["python"] > basepeak) basepeak = peak["python"]
            if (peak["cp"] > basepeak) basepeak = peak["cp"]
            printf "Whole update: %d files, %.1f MiB (%.1f MiB of archives), nginx on 127.0.0.1, empty installation; best of %d\n",
                   files, bytes / 1048576, archives / 1048576, rounds
            printf "%-42s %8s %8s %12s\n", "", "wall s", "cpu s", "max RSS MiB"
            row("baseline: curl, one connection", t["curl", bb], c["curl", bb], peak["curl"])
            row("baseline: python3 zipfile, one process", t["python", bb], c["python", bb], peak["python"])
            row("baseline: cp -a", t["cp", bb], c["cp", bb], peak["cp"])
            row("baseline total", base("", bb), basecpu("", bb), basepeak)
            row("lksupdate-cli (native Release)", t["updater", ub], c["updater", ub], peak["updater"])
            printf "baseline time / updater time: %.2f (goal >= 1.10)\n", base("", bb) / t["updater", ub]
            for (r = 1; r <= rounds; r++) {
                if (("wine", r) in t && (!wb || t["wine", r] < t["wine", wb])) wb = r
            }
            if (wb) {
                row("lksupdate-cli.exe (Wine, wall of wine-run)", t["wine", wb], c["wine", wb], peak["wine"])
                printf "baseline time / Wine updater time: %.2f; Wine / native updater time: %.2f\n",
                       base("", bb) / t["wine", wb], t["wine", wb] / t["updater", ub]
                printf "Wine updater time / baseline time: %.2f (goal <= 1.50)\n", t["wine", wb] / base("", bb)
                printf "Wine updater stages (--timings):\n"
                wt = dir "/wine-timings-" wb
                while ((getline line < wt) > 0) {
                    if (split(line, f, " ") == 2) printf "  %-14s %9.3f\n", f[1], f[2]
                }
            }
            for (r = 1; r <= rounds; r++) {
                if (("wizard", r) in t && (!zb || t["wizard", r] < t["wizard", zb])) zb = r
            }
            if (zb) {
                printf "%-42s %8.3f %8s %12s\n", "lksupdate.exe wizard (Wine+Xvfb, nginx->text)", t["wizard", zb], "-", "-"
                printf "Wizard time / baseline time: %.2f; wizard / Wine console updater time: %.2f\n",
                       t["wizard", zb] / base("", bb), wb ? t["wizard", zb] / t["wine", wb] : 0
            }
            if (idle) {
                printf "baseline under chrt --idle 0 (the updater worker runs SCHED_IDLE): %.3f s, / updater time: %.2f\n",
                       base("idle", ib), base("idle", ib) / t["updater", ub]
            }
            printf "updater stages, seconds (--timings of its best run; verify: GetFileMD5 over the same files):\n"
            timings = dir "/timings-" ub
            while ((getline line < timings) > 0) {
                n = split(line, f, " ")
                if (f[1] == "unpack+verify") {
                    printf "  %-14s %9.3f\n", "unpack", f[2] - t["verify", vb]
                    printf "  %-14s %9.3f\n", "verify", t["verify", vb]
                } else if (n == 2 && f[1] != "total") {
                    printf "  %-14s %9.3f\n", f[1], f[2]
                } else if (f[1] == "total") {
                    total = f[2]
                } else if (f[2] == "downloads,") {
                    notes = line
                }
            }
            printf "  %-14s %9.3f  (process: %.3f)\n", "total", total, t["updater", ub]
            sub(/^ +/, "", notes)
            print "  " notes
        }' "$work/times"
    rm -f "$work/times"
}

round=1
if [ "$wizard" != 0 ]; then
    # The display first: Wine's desktop process binds to the one it starts with.
    . "$root/scripts/lib/xvfb.sh"
    xvfb_start "$work/xvfb.log"
    xvfb_pid=$XVFB_PID
    nginx_start "$work/nginx80" "$data/server" 80 \
        "include $data/nginx-rules.conf; access_log $work/nginx80/logs/timed.log timed;" \
        'log_format timed "$msec $request_time $request";'
fi
if [ "$wine" != 0 ]; then
    WINEPREFIX="$wineprefix" wineserver -p </dev/null >/dev/null 2>&1 && wine_started=1
    "$root/scripts/wine-run" wineboot </dev/null >/dev/null 2>&1 || true
fi
while [ "$round" -le "$rounds" ]; do
    run_updater 1 "$round"
    [ "$wine" = 0 ] || run_wine 1 "$round"
    [ "$wizard" = 0 ] || run_wizard 1 "$round"
    run_baseline 1 "$round"
    [ "$idle" = 0 ] || run_baseline 1 "$round" idle
    round=$((round + 1))
done
report 1 "$rounds"

if [ "$flat" != 0 ]; then
    echo
    echo "The same with every file 4x larger (one run each):"
    run_updater 4 1
    run_baseline 4 1
    report 4 1
fi
