#!/usr/bin/env bash
# Benchmark, run by hand: a 256 MiB download cut at half (Ctrl-C once the part file holds
# half the file), then run again. Reports how many bytes the second run fetched, from the
# server's own log, and whether it asked with Range. Target: at most 55% of the file.
#
#   bench/resume_after_cut.sh [path/to/trawlbay-cli]
#
# Needs nginx (nginx-light) and python3. Everything lives in a temporary folder on loopback.
set -euo pipefail
cli=$(readlink -f "${1:-build/bin/trawlbay-cli}")
work=$(mktemp -d /var/tmp/tb-resume.XXXXXX)
nginx_pid=
trap '[ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null; rm -rf "$work"' EXIT
size=$((256 * 1048576))
mkdir -p "$work/root" "$work/out"
head -c "$size" /dev/urandom > "$work/root/big.bin"
. "$(dirname "$0")/../tests/support/nginx.sh"
# Slow enough that the cut lands near the middle; the log tells what each request fetched.
start_nginx "$work/root" "$work" application/octet-stream 64 \
    "log_format bytes '\$status \$body_bytes_sent \"\$http_range\"'; access_log $work/access.log bytes;" \
    "limit_rate 32m;"
port=$nginx_port
printf 'Server: Zing\r\nURL: u\r\nPassword: p\r\nbig.bin\t%s\thttp://big.test/big.bin\r\n' "$size" > "$work/q.tbq"
args=(download "$work/q.tbq" --to "$work/out" --quiet --connect-to "big.test:80:127.0.0.1:$port")

"$cli" "${args[@]}" & pid=$!
part="$work/out/.big.bin.tbpart"
until [ -f "$part" ] && [ "$(stat -c %s "$part")" -ge $((size / 2)) ]; do sleep 0.05; done
kill -INT "$pid"; wait "$pid" || true
kept=$(stat -c %s "$part")
"$cli" "${args[@]}"
cmp -s "$work/out/big.bin" "$work/root/big.bin" || { echo "the resumed file differs"; exit 1; }
second=$(tail -n 1 "$work/access.log")
read -r status sent range <<< "$second"
printf 'part file after the cut: %d bytes (%.1f%%)\n' "$kept" "$(echo "100 * $kept / $size" | bc -l)"
printf 'second run: status %s, %s, fetched %d bytes = %.1f%% of the file (target <= 55%%)\n' \
    "$status" "range ${range//\"/}" "$sent" "$(echo "100 * $sent / $size" | bc -l)"
