#!/usr/bin/env bash
# Download benchmark, run by hand: trawlbay-cli download against aria2c and curl fetching
# the same files from nginx on a loopback port, with 4 and 16 parallel transfers.
# Sets: 200 files of 1 MiB, and 4 files of 256 MiB. Reports wall time, CPU time and peak
# memory of each tool (median of 3 runs).
#
# Needs: nginx-light, curl, aria2 (apt-get install aria2), time (apt-get install time).
# Usage: bench/download_vs_tools.sh [path/to/trawlbay-cli]
set -euo pipefail

cli=$(readlink -f "${1:-build/bin/trawlbay-cli}")
nginx=$(command -v nginx || echo /usr/sbin/nginx)
for tool in "$nginx" curl aria2c /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool"; exit 1; }
done

work=$(mktemp -d /var/tmp/tb-dlbench.XXXXXX)
trap 'kill "$nginx_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root/small" "$root/large"
for i in $(seq -w 1 200); do head -c 1048576 /dev/urandom > "$root/small/f$i.bin"; done
for i in 1 2 3 4; do head -c $((256 * 1048576)) /dev/urandom > "$root/large/L$i.bin"; done

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    server { listen 127.0.0.1:$port; root $root; }
}
CONF
"$nginx" -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
sleep 0.5

host=dl.bench.test
# Queue files and URL lists for each set.
for set in small large; do
    {
        printf 'Server: Zing\r\nURL: http://www.zing.com/album/bench\r\nPassword: p\r\n'
        for f in "$root/$set"/*; do
            n=$(basename "$f")
            printf '%s\t%s\thttp://%s/%s/%s\r\n' "$n" "$(stat -c %s "$f")" "$host" "$set" "$n"
        done
    } > "$work/$set.tbq"
    for f in "$root/$set"/*; do
        n=$(basename "$f")
        echo "http://$host/$set/$n"
    done > "$work/$set.urls"
done

# One timed run: prints "wall cpu peak_kB".
timed() {
    local out="$work/out"
    rm -rf "$out"; mkdir -p "$out"
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
    read -r wall user sys peak < "$work/time"
    echo "$wall $(echo "$user + $sys" | bc) $peak"
}

median3() { sort -n | sed -n 2p; }

run_tool() { # tool set n
    local tool=$1 set=$2 n=$3 i walls=() cpus=() peaks=()
    for i in 1 2 3; do
        case $tool in
            trawlbay) r=$(timed "$cli" download "$work/$set.tbq" --to "$work/out" --threads "$n" --quiet \
                            --connect-to "$host:80:127.0.0.1:$port") ;;
            aria2c) r=$(timed aria2c -q -j "$n" -x 1 -d "$work/out" -i "$work/$set.urls" \
                            --allow-overwrite=true --auto-file-renaming=false \
                            --file-allocation=none --http-proxy="" \
                            --async-dns=false --all-proxy="http://127.0.0.1:$port") ;;
            curl) r=$(timed curl -s --parallel --parallel-max "$n" --connect-to "$host:80:127.0.0.1:$port" \
                            --output-dir "$work/out" --remote-name-all $(cat "$work/$set.urls")) ;;
        esac
        read -r w c p <<< "$r"
        walls+=("$w"); cpus+=("$c"); peaks+=("$p")
    done
    printf '%-9s %-6s %3d  %8.2f  %8.2f  %8.1f\n' "$tool" "$set" "$n" \
        "$(printf '%s\n' "${walls[@]}" | median3)" "$(printf '%s\n' "${cpus[@]}" | median3)" \
        "$(echo "$(printf '%s\n' "${peaks[@]}" | median3) / 1024" | bc -l)"
}

printf '%-9s %-6s %3s  %8s  %8s  %8s\n' tool set N wall_s cpu_s peak_MiB
for set in small large; do
    for n in 4 16; do
        for tool in trawlbay aria2c curl; do
            run_tool "$tool" "$set" "$n"
        done
    done
done
