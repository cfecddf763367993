#!/usr/bin/env bash
# Sudden death: kill -9 in the middle of a queue save, a settings write and a download, many
# times at random moments. Afterwards every file is a whole version (never a mix, never
# truncated), no temporary file is left beside it, a half-received download leaves the
# file that was there before, and the next run resumes it from its part file.
set -euo pipefail

writer="$1"
cli="$2"
work=$(mktemp -d)
trap 'kill "$server_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
server_pid=

# A kill in the instant between linking a finished temporary file and renaming it over the
# target can leave that temporary file ("name.XXXXXX") beside an intact target; it never
# takes a target's name, so the next run is not disturbed by it.
check_folder_clean() { # dir, expected names...
    local dir=$1; shift
    local actual expected
    actual=$(ls -A "$dir" | grep -v -E '\.[A-Za-z0-9]{6}$' | sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    if [ "$actual" != "$expected" ]; then
        echo "unexpected files in $dir: '$actual' (expected '$expected')"
        exit 1
    fi
}

# Queue saves.
queue="$work/q/list.tbq"
mkdir -p "$work/q"
"$writer" queue "$queue" & pid=$!
# The first whole save, however long a loaded machine takes for it.
for _ in $(seq 1 100); do [ -s "$queue" ] && break; sleep 0.1; done
sleep 0.2
kill -9 "$pid"; wait "$pid" 2>/dev/null || true
cp "$queue" "$work/whole1.tbq"
for i in $(seq 1 15); do
    "$writer" queue "$queue" & pid=$!
    sleep "0.$((RANDOM % 9 + 1))"
    kill -9 "$pid"; wait "$pid" 2>/dev/null || true
    lines=$(wc -l < "$queue")
    if [ "$lines" -ne 20003 ]; then echo "queue file torn after kill $i: $lines lines"; exit 1; fi
    # One version throughout: every row belongs to the version named in the URL line.
    version=$(sed -n 2p "$queue" | tr -dc '0-9')
    if grep -q "^v$((3 - version))-" "$queue"; then echo "queue file mixes versions after kill $i"; exit 1; fi
    check_folder_clean "$work/q" list.tbq
done

# Settings writes.
settings="$work/s/settings.json"
mkdir -p "$work/s"
for i in $(seq 1 15); do
    "$writer" settings "$settings" & pid=$!
    sleep "0.$((RANDOM % 9 + 1))"
    kill -9 "$pid"; wait "$pid" 2>/dev/null || true
    python3 - "$settings" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
value = data["Trawl Bay"]["Settings"]["Value"]
assert value[0] in "12" and len(value) == 200001, "torn value"
PY
    for f in $(ls -A "$work/s"); do
        case $f in settings.json|settings.json.lock|settings.json.??????) ;; *) echo "left over: $f"; exit 1 ;; esac
    done
done

# Downloads: a server that sends slowly and honours ranges; the kill hits mid-transfer,
# and what arrived is resumed by the next run.
port_file="$work/port"
ranges="$work/ranges"
python3 - "$port_file" "$ranges" <<'PY' &
import re, socket, sys, threading, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(16)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
def serve(c):
    try:
        head = c.recv(4096).decode("latin-1")
        m = re.search(r"\r\nRange: bytes=(\d+)-\r\n", head)
        first = int(m.group(1)) if m and '\r\nIf-Range: "k1"\r\n' in head else 0
        if first:
            open(sys.argv[2], "a").write("%d\n" % first)
            c.sendall(b"HTTP/1.1 206 Partial Content\r\nETag: \"k1\"\r\nContent-Range: bytes %d-99999/100000\r\nContent-Length: %d\r\n\r\n" % (first, 100000 - first))
        else:
            c.sendall(b"HTTP/1.1 200 OK\r\nETag: \"k1\"\r\nContent-Length: 100000\r\n\r\n")
        left = 100000 - first
        while left > 0:
            c.sendall(b"n" * min(1000, left)); left -= 1000; time.sleep(0.05)
    except Exception:
        pass
while True:
    c, _ = s.accept(); threading.Thread(target=serve, args=(c,), daemon=True).start()
PY
server_pid=$!
for _ in $(seq 1 50); do [ -s "$port_file" ] && break; sleep 0.1; done
port=$(cat "$port_file")
out="$work/out"
mkdir -p "$out"
printf 'Server: Zing\r\nURL: u\r\nPassword: p\r\nkept.bin\t1\thttp://k.test/kept.bin\r\nnew.bin\t1\thttp://k.test/new.bin\r\n' > "$work/d.tbq"
echo "the file that was there" > "$out/kept.bin"
for i in $(seq 1 5); do
    "$cli" download "$work/d.tbq" --to "$out" --quiet --connect-to "k.test:80:127.0.0.1:$port" & pid=$!
    sleep "0.$((RANDOM % 9 + 1))"
    kill -9 "$pid"; wait "$pid" 2>/dev/null || true
    [ "$(cat "$out/kept.bin")" = "the file that was there" ] || { echo "existing file changed"; exit 1; }
    # What arrived may wait in hidden part files (".NAME.tbpart" passes as a temporary
    # name above; its record is named here), never under a target's name.
    check_folder_clean "$out" kept.bin $(cd "$out" && ls -A | grep -E '^\..*\.tbpart\.json$' || true)
done
# The next run is not tripped up by anything the killed ones left.
"$cli" download "$work/d.tbq" --to "$out" --quiet --connect-to "k.test:80:127.0.0.1:$port"
[ "$(stat -c %s "$out/new.bin")" -eq 100000 ] && [ "$(stat -c %s "$out/kept.bin")" -eq 100000 ]
[ "$(tr -d n < "$out/new.bin" | wc -c)" -eq 0 ] || { echo "resumed file is not whole"; exit 1; }
[ -s "$ranges" ] || { echo "nothing was resumed after kill -9"; exit 1; }
check_folder_clean "$out" kept.bin new.bin
echo "kill tests: ok"
