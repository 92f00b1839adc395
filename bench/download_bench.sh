#!/usr/bin/env bash
# Download throughput: a 256 MiB file served by nginx on 127.0.0.1, fetched
# by the updater's download client (lks-fetch, native Release build; and the
# 64-bit Windows build under Wine when it is built) and by curl in the same
# run. Prints MB/s of each (best of 3) and the ratios to curl.
#   cmake --preset native && cmake --build build/native -j
#   bench/download_bench.sh [SIZE-MiB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/nginx.sh"
size_mib=${1:-256}
work="$root/build/bench-download"
fetch="$root/build/native/tools/lks-fetch"
fetch_win="$root/build/win64/tools/lks-fetch.exe"
[ -x "$fetch" ] || { echo "build first: cmake --preset native && cmake --build build/native" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work/www/V" "$work/out"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/www/V/big.bin"
port=$(free_port)
trap 'nginx_stop "$work/nginx"; [ -n "${wine_started:-}" ] && WINEPREFIX="${LKS_WINEPREFIX:-$root/build/wineprefix}" wineserver -k 2>/dev/null || true' EXIT
nginx_start "$work/nginx" "$work/www" "$port"

# best_seconds COMMAND...: the shortest wall time of three runs.
best_seconds() {
  local best="" t
  for _ in 1 2 3; do
    rm -f "$work/out/"*
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.3f", b-a}')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$t; fi
  done
  echo "$best"
}
mbps() { awk -v s="$1" -v m="$size_mib" 'BEGIN{printf "%.0f", m*1.048576/s}'; }

t_curl=$(best_seconds curl -s -o "$work/out/big.bin" "http://127.0.0.1:$port/V/big.bin")
t_lks=$(best_seconds "$fetch" 127.0.0.1 "$port" V/big.bin "$work/out/big.bin" --quiet)
cmp -s "$work/www/V/big.bin" "$work/out/big.bin" || { echo "lks-fetch stored different bytes" >&2; exit 1; }

printf '%-22s %8s s %8s MB/s\n' "curl" "$t_curl" "$(mbps "$t_curl")"
printf '%-22s %8s s %8s MB/s   ratio to curl %s\n' "lks-fetch (native)" "$t_lks" "$(mbps "$t_lks")" \
  "$(awk -v a="$t_curl" -v b="$t_lks" 'BEGIN{printf "%.2f", a/b}')"
if [ -f "$fetch_win" ]; then
  WINEPREFIX="${LKS_WINEPREFIX:-$root/build/wineprefix}" wineserver -p </dev/null >/dev/null 2>&1 && wine_started=1
  winout="$work/out/big.bin"
  t_wine=$(best_seconds "$root/scripts/wine-run" "$fetch_win" 127.0.0.1 "$port" V/big.bin "Z:${winout//\//\\}" --quiet)
  printf '%-22s %8s s %8s MB/s   ratio to curl %s\n' "lks-fetch.exe (Wine)" "$t_wine" "$(mbps "$t_wine")" \
    "$(awk -v a="$t_curl" -v b="$t_wine" 'BEGIN{printf "%.2f", a/b}')"
fi
