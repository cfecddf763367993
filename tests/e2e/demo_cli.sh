#!/usr/bin/env bash
# End to end, the demo as the README shows it: the demo server up, trawlbay-cli searches its
# sample archive and downloads every file. Each file must arrive byte for byte, the deleted
# messages must be reported as failed pages, and the two attachments that share a name must
# both be kept.
set -euo pipefail
server="$1"
cli="$2"

work=$(mktemp -d)
server_pid=
trap 'if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() { echo "$1"; [ -z "${2:-}" ] || cat "$2"; exit 1; }

# The server is ready once it has printed its host mapping, its first line.
exec 3< <(exec "$server" --manifest "$work/manifest" 2> "$work/server.err")
server_pid=$!
read -r -t 60 rules <&3 || fail "the demo server printed nothing" "$work/server.err"
[[ $rules == TRAWLBAY_CONNECT_TO=*:80:127.0.0.1:* ]] || fail "not a host mapping: $rules"
export "${rules?}"

group=http://groups.demo.test/group/harbour-sailors/
status=0
"$cli" search yahoo "$group" 1-40 -o "$work/demo.tbq" 2> "$work/search.err" || status=$?
[ "$status" -eq 1 ] || fail "search exited $status, not 1 (three deleted messages)" "$work/search.err"
[ "$(grep -c 'page failed: ' "$work/search.err")" -eq 3 ] || fail "not three failed pages:" "$work/search.err"
for n in 9 23 31; do
    grep -qF "page failed: ${group}message/$n: HTTP status 404" "$work/search.err" ||
        fail "message $n is not reported as a failed page" "$work/search.err"
done
grep -qxF "Finished search, 3 pages failed: 9,23,31" "$work/search.err" ||
    fail "the summary does not name the failed messages" "$work/search.err"

# Every attachment is a row whose size the link check found.
manifest_files=$(grep -c ' http://files.demo.test/' "$work/manifest")
rows=$(awk -F'\t' 'NR > 3 && $5 ~ /^[0-9]+$/' "$work/demo.tbq" | wc -l)
[ "$rows" -eq "$manifest_files" ] || fail "$rows rows with a size, $manifest_files files served" "$work/demo.tbq"

mkdir "$work/files"
"$cli" download "$work/demo.tbq" --to "$work/files" --quiet 2> "$work/download.err" ||
    fail "download failed" "$work/download.err"

# The names: each file's own, and the second IMG_0001.jpg beside the first.
(grep -o ' http://files.demo.test/.*' "$work/manifest" | sed 's|.*/||' | sort -u
 echo "IMG_0001 (2).jpg") | LC_ALL=C sort > "$work/names.want"
(cd "$work/files" && LC_ALL=C ls -A) > "$work/names.got"
diff "$work/names.want" "$work/names.got" || fail "unexpected files in the download folder"
cmp -s "$work/files/IMG_0001.jpg" "$work/files/IMG_0001 (2).jpg" && fail "the two IMG_0001.jpg are the same file"

# The bytes: the downloaded files hash to exactly what the server served.
grep ' http://files.demo.test/' "$work/manifest" | cut -c1-64 | sort > "$work/sha.want"
(cd "$work/files" && sha256sum -- *) | cut -c1-64 | sort > "$work/sha.got"
diff "$work/sha.want" "$work/sha.got" > /dev/null || fail "downloaded bytes differ from those served"
[ "$(awk -F'\t' 'NR > 3 { s += $5 } END { print s }' "$work/demo.tbq")" -eq \
  "$(cat "$work/files"/* | wc -c)" ] || fail "the sizes found differ from the bytes downloaded"

# A file answers a range under its validators, so an aborted download resumes; a range under
# another version's ETag gets the whole file.
url=$(grep -o ' http://files.demo.test/.*' "$work/manifest" | grep -v IMG_0001 | head -n 1 | cut -c2-)
rule=$(tr , '\n' <<< "$TRAWLBAY_CONNECT_TO" | grep '^files.demo.test:')
range() { curl -s --connect-to "$rule" -r 0-9 -D "$work/head" -o "$work/part" "$@" "$url"; }
range || fail "curl could not fetch $url"
head -n 1 "$work/head" | grep -q '^HTTP/1.1 206 ' || fail "no 206 for a range:" "$work/head"
cmp -s "$work/part" <(head -c 10 "$work/files/${url##*/}") || fail "the range is not the first 10 bytes"
grep -qi '^ETag: "' "$work/head" && grep -qi '^Last-Modified: ' "$work/head" || fail "no validators:" "$work/head"
range -H 'If-Range: "another"' || fail "curl could not fetch $url"
head -n 1 "$work/head" | grep -q '^HTTP/1.1 200 ' || fail "a stale If-Range did not get the whole file:" "$work/head"

# The album behind its password.
"$cli" search zing "http://www.zing.com/album?id=7" regatta -o "$work/album.tbq" --quiet
[ "$(awk -F'\t' 'NR > 3 && $2 ~ /^[0-9]+$/' "$work/album.tbq" | wc -l)" -eq 8 ] ||
    fail "the album did not list its 8 pictures with sizes" "$work/album.tbq"
echo "end to end demo: ok"
