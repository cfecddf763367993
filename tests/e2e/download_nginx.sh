#!/usr/bin/env bash
# End to end: trawlbay-cli downloads the files of a queue file from nginx on a loopback port
# (the host mapping stands it in for the real host); every file must arrive byte for byte,
# a missing one must fail alone, and nothing temporary may stay behind.
set -euo pipefail
source "$(dirname "$0")/../support/nginx.sh"

cli="$1"
nginx=$(command -v nginx || echo /usr/sbin/nginx)
if [ ! -x "$nginx" ]; then
    echo "nginx is not installed; skipping"
    exit 77
fi

work=$(mktemp -d)
nginx_pid=""
trap 'if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root/f"


# Thirty files: empty ones, small and middling ones, and one of about 3 MB.
sizes=(0 1 2 17 100 511 512 513 1000 1023 1024 1025 4095 4096 4097 8192 10000 16384 32767 65536
       65537 100000 131072 200000 262144 0 500000 999999 1048576 3145731)
names=()
for i in "${!sizes[@]}"; do
    case $((i % 3)) in
        0) ext=bin ;;
        1) ext=jpg ;;
        *) ext=txt ;;
    esac
    name=$(printf 'file%02d.%s' "$i" "$ext")
    head -c "${sizes[$i]}" /dev/urandom > "$root/f/$name"
    names+=("$name")
done
head -c 2345 /dev/urandom > "$root/f/weird.txt"

queue="$work/q.tbq"
printf 'Server: Zing\r\nURL: http://www.zing.com/album/x\r\nPassword: p\r\n' > "$queue"
for i in "${!names[@]}"; do
    printf '%s\t%d\thttp://dl.e2e.test/f/%s\r\n' "${names[$i]}" "${sizes[$i]}" "${names[$i]}" >> "$queue"
done
# One row that the server does not have, and one whose name cannot be a file name as it is.
printf 'ghost.gif\t10\thttp://dl.e2e.test/f/no-such-file.gif\r\n' >> "$queue"
printf 'we:ird?.txt\t2345\thttp://dl.e2e.test/f/weird.txt\r\n' >> "$queue"

start_nginx "$root" "$work" application/octet-stream
port=$nginx_port

map=(--connect-to "dl.e2e.test:80:127.0.0.1:$port")

# Compares the folder's listing with the expected names, then every file with its source.
check_folder() {
    local dir="$1"
    shift
    local expected actual
    expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
    actual=$(cd "$dir" && LC_ALL=C ls -A | LC_ALL=C sort)
    if [ "$expected" != "$actual" ]; then
        echo "unexpected files in $dir:"
        diff <(echo "$expected") <(echo "$actual") || true
        exit 1
    fi
}
same_file() {
    local got want
    got=$(sha256sum < "$1")
    want=$(sha256sum < "$2")
    [ "$got" = "$want" ] || { echo "$1 differs from $2"; exit 1; }
}

# The whole queue: one failure, so exit 1, naming the failed file.
out="$work/all"
mkdir "$out"
set +e
"$cli" download "$queue" --to "$out" --threads 4 --quiet "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 1 ] || { echo "download with one failure exited $status"; cat "$work/err"; exit 1; }
grep -q "ghost.gif" "$work/err" || { echo "the failed file is not named:"; cat "$work/err"; exit 1; }
[ "$(grep -c '^failed: ' "$work/err")" -eq 1 ] || { echo "expected one failure:"; cat "$work/err"; exit 1; }
[ ! -e "$out/ghost.gif" ]
check_folder "$out" "${names[@]}" "we_ird_.txt"
for name in "${names[@]}"; do
    same_file "$out/$name" "$root/f/$name"
done
same_file "$out/we_ird_.txt" "$root/f/weird.txt"

# A second run over the same folder replaces the files and still leaves nothing else.
set +e
"$cli" download "$queue" --to "$out" --threads 1 "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 1 ] || { echo "second run exited $status"; exit 1; }
# On a pipe: a line per file as it ends (the failure among them, in list order), then the
# summary with the bytes once, at the very end.
summary="31 files downloaded, 1 failed · "
[ "$(grep -cF "$summary" "$work/err")" -eq 1 ] || { echo "summary not once:"; cat "$work/err"; exit 1; }
tail -n 1 "$work/err" | grep -qE "^$summary[0-9.,]+ ([kMG]B|bytes) in ([0-9]\.[0-9] s|[0-9]+:[0-9]{2}) · [0-9.,]+ ([kMG]B|bytes)/s$" || { echo "summary not last:"; cat "$work/err"; exit 1; }
[ "$(grep -c '^done: ' "$work/err")" -eq 31 ] || { echo "not a line per file:"; cat "$work/err"; exit 1; }
failed_at=$(grep -n '^failed: .*ghost.gif' "$work/err" | cut -d: -f1)
later=$(grep -n '^done: .*we_ird_.txt' "$work/err" | cut -d: -f1)
[ -n "$failed_at" ] && [ "$failed_at" -lt "$later" ] || { echo "failure not told as it happened:"; cat "$work/err"; exit 1; }
check_folder "$out" "${names[@]}" "we_ird_.txt"
same_file "$out/file29.txt" "$root/f/file29.txt"

# Started with its standard streams closed, the program's own lines never land in a file.
closed="$work/closed"
mkdir "$closed"
status=0
"$cli" download "$queue" --to "$closed" --threads 4 "${map[@]}" >&- 2>&- || status=$?
[ "$status" -eq 1 ] || { echo "download with closed streams exited $status"; exit 1; }
for name in "${names[@]}"; do
    same_file "$closed/$name" "$root/f/$name"
done

# Only the files the pattern names; none of them fails, so exit 0.
only="$work/only"
mkdir "$only"
"$cli" download "$queue" --to "$only" --threads 3 --only '*.bin' --quiet "${map[@]}"
bins=()
for name in "${names[@]}"; do
    case $name in *.bin) bins+=("$name") ;; esac
done
check_folder "$only" "${bins[@]}"
for name in "${bins[@]}"; do
    same_file "$only/$name" "$root/f/$name"
done

# A pattern that names nothing downloads nothing and is no error.
none="$work/none"
mkdir "$none"
"$cli" download "$queue" --to "$none" --only '*.zip' --quiet "${map[@]}"
check_folder "$none"

# A download folder that does not exist: exit 2, nothing fetched.
set +e
"$cli" download "$queue" --to "$work/missing" --quiet "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 2 ] || { echo "missing folder exited $status"; exit 1; }
grep -q "is not a folder" "$work/err"
[ ! -e "$work/missing" ]

# A queue file with a row missing its fields: exit 2 with the reader's message.
broken="$work/broken.tbq"
printf 'Server: Zing\r\nURL: http://www.zing.com/album/x\r\nPassword: p\r\nonly-a-name\t12\r\n' > "$broken"
set +e
"$cli" download "$broken" --to "$none" --quiet "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 2 ] || { echo "broken queue exited $status"; exit 1; }
grep -q "line 4: a Zing row needs 3 fields, found 2" "$work/err" || { cat "$work/err"; exit 1; }
check_folder "$none"

# A queue file that does not exist: exit 2 as well.
set +e
"$cli" download "$work/nothing-here.tbq" --to "$none" --quiet "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 2 ] || { echo "missing queue exited $status"; exit 1; }
[ "$(cat "$work/err")" = "trawlbay-cli: cannot open $work/nothing-here.tbq: No such file or directory" ] \
    || { echo "missing queue:"; cat "$work/err"; exit 1; }
echo "end to end download: ok"
