#!/usr/bin/env bash
# Benchmark, run by hand (not a test): trawlbay-cli's Yahoo search against curl doing the
# same HTTP requests, both against nginx on a loopback port, plus the CPU trawlbay-cli
# burns while a server accepts connections and never answers.
#
#   bench/search_vs_curl.sh [path/to/trawlbay-cli]     (default build/bin/trawlbay-cli)
#
# Needs nginx (nginx-light), curl, python3 and GNU time (/usr/bin/time, Debian package
# "time"). Everything listens on 127.0.0.1 on ephemeral ports; all files live in a
# temporary directory that is removed on exit.
set -euo pipefail

cli="${1:-build/bin/trawlbay-cli}"
case "$cli" in /*) ;; *) cli="$PWD/$cli" ;; esac
[ -x "$cli" ] || { echo "trawlbay-cli not found at $cli (pass its path as \$1)" >&2; exit 1; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is not installed (apt-get install nginx-light)" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

MESSAGES=2000
THREADS=16
RUNS=${BENCH_RUNS:-3}
STALL_SECONDS=10

work=$(mktemp -d)
nginx_pid=
stall_pid=
cleanup() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
    [ -n "$stall_pid" ] && kill "$stall_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
    for _ in $(seq 1 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    echo "nothing listens on 127.0.0.1:$1" >&2
    return 1
}

# --- 1. the archive: message pages with two links each, and the attachments --------------
root="$work/root"
port=$(free_port)
echo "generating $MESSAGES message pages and $((MESSAGES * 2)) attachments in $work"
python3 - "$root" "$MESSAGES" "$work/expected.txt" "$work/page_urls" "$work/head_urls" <<'PY'
import os, sys
root, count, expected, page_urls, head_urls = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
msgdir = os.path.join(root, "group", "bench", "message")
os.makedirs(msgdir, exist_ok=True)
with open(expected, "w") as exp, open(page_urls, "w") as pages, open(head_urls, "w") as heads:
    for n in range(1, count + 1):
        lines = [
            "<html><body><table><tr><td><b>From:</b> Member %d &lt;m%d@example.test&gt;<br></td></tr>" % (n, n),
            "<tr><td><b>Subject:</b> Photos&nbsp;of set %d<br></td></tr></table>" % n,
        ]
        attdir = os.path.join(root, "att", str(n))
        os.makedirs(attdir, exist_ok=True)
        for k, name in enumerate(("a.jpg", "b.jpg")):
            size = 1024 + (n * 7919 + k * 104729) % (19 * 1024 + 1)   # 1 KiB .. 20 KiB
            with open(os.path.join(attdir, name), "wb") as f:
                f.write(b"\0" * size)
            url = "http://f1.grp.example.test/att/%d/%s" % (n, name)
            lines.append('<a href="%s">%s</a>' % (url, name))
            exp.write("%s\t%d\n" % (url, size))
            heads.write('url = "%s"\noutput = "/dev/null"\n' % url)
        lines.append("</body></html>")
        with open(os.path.join(msgdir, str(n)), "w") as f:
            f.write("\n".join(lines) + "\n")
        pages.write('url = "http://groups.example.test/group/bench/message/%d"\noutput = "/dev/null"\n' % n)
PY
sort "$work/expected.txt" > "$work/expected.sorted"

cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 4096; }
http {
    access_log off;
    default_type text/html;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    server {
        listen 127.0.0.1:$port;
        root $root;
    }
}
CONF
"$nginx" -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
wait_port "$port"

map=(--connect-to "groups.example.test:80:127.0.0.1:$port"
     --connect-to "f1.grp.example.test:80:127.0.0.1:$port")

# Runs a command under GNU time; appends "wall user sys maxrss_kb" to $1 and returns the
# command's exit status.
timed() {
    local record="$1" status=0; shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/time.one" "$@" || status=$?
    tail -n 1 "$work/time.one" >> "$record"
    return "$status"
}

# median of a column of numbers on stdin
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# --- 2. and 3.: trawlbay-cli, and curl doing the same requests --------------------------
# The runs alternate (trawlbay-cli, curl, trawlbay-cli, ...) so that both meet the same
# machine state; every HEAD leaves a connection in TIME_WAIT on loopback.
rows_ok=1
tb_run() {
    local run="$1" status rows=0 sized=0 right=0
    rm -f "$work/out.tbq"
    set +e
    local trace=()
    # STRACE=1: count the system calls of the first run (strace slows that run down).
    [ -n "${STRACE:-}" ] && [ "$run" = 1 ] && trace=(strace -c -f -o "$work/strace.txt")
    timed "$work/tb.times" "${trace[@]}" "$cli" search yahoo http://groups.example.test/group/bench/ "1-$MESSAGES" \
        -o "$work/out.tbq" --threads "$THREADS" --quiet "${map[@]}" 2> "$work/tb.err"
    if [ -n "${STRACE:-}" ] && [ "$run" = 1 ]; then
        echo "system calls of run 1 (strace -c -f):"
        grep -E ' (read|recvfrom|write|sendto|poll|ppoll|clone|clone3)$' "$work/strace.txt" |
            awk '{ print "  " $NF ": " $4 }'
    fi
    status=$?
    set -e
    if [ -f "$work/out.tbq" ]; then
        tr -d '\r' < "$work/out.tbq" > "$work/out.txt"
        rows=$(awk -F'\t' 'NF == 6' "$work/out.txt" | wc -l)
        sized=$(awk -F'\t' 'NF == 6 && $5 ~ /^[0-9]+$/' "$work/out.txt" | wc -l)
        awk -F'\t' 'NF == 6 { print $6 "\t" $5 }' "$work/out.txt" | sort > "$work/got.sorted"
        right=$(comm -12 "$work/expected.sorted" "$work/got.sorted" | wc -l)
    fi
    printf 'trawlbay-cli run %d: %s s wall, exit %d, %d rows, %d with a numeric size, %d match the served sizes\n' \
        "$run" "$(tail -n 1 "$work/tb.times" | cut -d' ' -f1)" "$status" "$rows" "$sized" "$right"
    if [ -s "$work/tb.err" ]; then
        echo "  stderr (first lines):"; head -n 5 "$work/tb.err" | sed 's/^/    /'
    fi
    if [ "$status" -ne 0 ] || [ "$sized" -ne $((MESSAGES * 2)) ] || [ "$right" -ne $((MESSAGES * 2)) ]; then
        rows_ok=0
    fi
}

# curl: the 2,000 page GETs in one run (connections reused), then the 4,000 HEADs in a
# second run with one connection each; wall and CPU of the two are summed.
# (curl 7.88 shows its parallel progress meter even with --silent; --no-progress-meter
# hides it and keeps error messages.)
curl_common=(--no-progress-meter --parallel --parallel-max "$THREADS" --write-out '%{http_code}\n' "${map[@]}")
curl_run() {
    local run="$1" gets heads
    : > "$work/curl.pair"
    timed "$work/curl.pair" curl "${curl_common[@]}" --config "$work/page_urls" > "$work/get.codes" || true
    timed "$work/curl.pair" curl "${curl_common[@]}" -I -H 'Connection: close' --config "$work/head_urls" \
        > "$work/head.codes" || true
    gets=$(grep -c '^200$' "$work/get.codes" || true)
    heads=$(grep -c '^200$' "$work/head.codes" || true)
    if [ "$gets" -ne "$MESSAGES" ] || [ "$heads" -ne $((MESSAGES * 2)) ]; then
        echo "curl run $run: only $gets of $MESSAGES GETs and $heads of $((MESSAGES * 2)) HEADs answered 200" >&2
        exit 1
    fi
    # one line per run: summed wall, user, sys; the larger peak RSS
    awk '{ w += $1; u += $2; s += $3; if ($4 > m) m = $4 } END { printf "%.2f %.2f %.2f %d\n", w, u, s, m }' \
        "$work/curl.pair" >> "$work/curl.times"
    printf 'curl run %d:         %s s wall (GETs %s s + HEADs %s s)\n' "$run" \
        "$(tail -n 1 "$work/curl.times" | cut -d' ' -f1)" \
        "$(sed -n 1p "$work/curl.pair" | cut -d' ' -f1)" "$(sed -n 2p "$work/curl.pair" | cut -d' ' -f1)"
}

: > "$work/tb.times"
: > "$work/curl.times"
for run in $(seq 1 "$RUNS"); do
    tb_run "$run"
    curl_run "$run"
done

# --- 4. the table -----------------------------------------------------------------------
summary() {   # file -> "wall cpu peak_mb" (medians)
    local f="$1"
    printf '%s %s %s\n' \
        "$(awk '{ print $1 }' "$f" | median)" \
        "$(awk '{ printf "%.2f\n", $2 + $3 }' "$f" | median)" \
        "$(awk '{ printf "%.1f\n", $4 / 1024 }' "$f" | median)"
}
read -r tb_wall tb_cpu tb_mb < <(summary "$work/tb.times")
read -r cu_wall cu_cpu cu_mb < <(summary "$work/curl.times")
ratio=$(awk -v a="$tb_wall" -v b="$cu_wall" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "inf" }')

echo
echo "Search of $MESSAGES messages ($((MESSAGES * 2)) HEADs), $THREADS slots, median of $RUNS runs"
printf '%-14s %8s %8s %9s\n' tool "wall s" "CPU s" "peak MB"
printf '%-14s %8s %8s %9s\n' trawlbay-cli "$tb_wall" "$tb_cpu" "$tb_mb"
printf '%-14s %8s %8s %9s\n' "curl (sum)" "$cu_wall" "$cu_cpu" "$cu_mb"
ratio_ok=$(awk -v r="$ratio" 'BEGIN { print (r != "inf" && r <= 2.0) ? "yes" : "no" }')
printf 'wall ratio trawlbay-cli / curl: %s (target <= 2.0: %s)\n' "$ratio" "$ratio_ok"
printf 'queue file complete (%d rows, all sizes right) in every run: %s\n' $((MESSAGES * 2)) \
    "$([ "$rows_ok" -eq 1 ] && echo yes || echo no)"

# --- 5. a server that accepts and never answers ------------------------------------------
kill "$nginx_pid" 2>/dev/null || true
wait "$nginx_pid" 2>/dev/null || true
nginx_pid=
stall_port=$(free_port)
python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(128)
held = []
while True:
    c, _ = s.accept()
    held.append(c)
' "$stall_port" &
stall_pid=$!
wait_port "$stall_port"

: > "$work/stall.times"
set +e
timed "$work/stall.times" timeout -k 5 -s INT "$STALL_SECONDS" "$cli" search yahoo \
    http://groups.example.test/group/bench/ 1-16 -o "$work/stall.tbq" --threads "$THREADS" --quiet \
    --connect-to "groups.example.test:80:127.0.0.1:$stall_port" 2> "$work/stall.err"
stall_status=$?
set -e
read -r st_wall st_user st_sys st_kb < "$work/stall.times"
st_cpu=$(awk -v u="$st_user" -v s="$st_sys" 'BEGIN { printf "%.2f", u + s }')
stall_ok=$(awk -v c="$st_cpu" 'BEGIN { print (c < 0.3) ? "yes" : "no" }')
echo
echo "Stalled server, 1-16 with $THREADS slots, stopped with SIGINT after $STALL_SECONDS s:"
printf '  wall %s s, CPU %s s (user %s, sys %s), exit %d (124: still running when stopped; target CPU < 0.3 s: %s)\n' \
    "$st_wall" "$st_cpu" "$st_user" "$st_sys" "$stall_status" "$stall_ok"
if [ -s "$work/stall.err" ]; then
    echo "  stderr (first lines):"; head -n 5 "$work/stall.err" | sed 's/^/    /'
fi
if [ -e "$work/stall.tbq" ]; then
    echo "  a queue file was written: $(wc -c < "$work/stall.tbq") bytes"
else
    echo "  no queue file was written"
fi
