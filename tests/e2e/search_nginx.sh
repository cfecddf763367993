#!/usr/bin/env bash
# End to end: trawlbay-cli searches a generated group archive and album served by nginx on
# a loopback port (the host mapping stands it in for the real hosts) and must write the
# expected queue files byte for byte.
set -euo pipefail
source "$(dirname "$0")/../support/nginx.sh"

cli="$1"
nginx=$(command -v nginx || echo /usr/sbin/nginx)
if [ ! -x "$nginx" ]; then
    echo "nginx is not installed; skipping"
    exit 77
fi

work=$(mktemp -d)
nginx_pid=
trap 'kill "$nginx_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root/group/cars/message" "$root/att" "$root/album" "$root/picture"


# Five messages; message 3 has no attachment, message 5 has two.
expected_yahoo="$work/expected_yahoo.tbq"
printf 'Server: Yahoo\r\nURL: http://groups.example.test/group/cars/\r\nMessage Range: 1-5\r\n' > "$expected_yahoo"
for n in 1 2 3 4 5; do
    page="$root/group/cars/message/$n"
    {
        echo "<html><body><table><tr><td><b>From:</b> Member $n &lt;m$n@example.test&gt;<br></td></tr>"
        echo "<tr><td><b>Subject:</b> Photos&nbsp;of car $n<br></td></tr></table>"
    } > "$page"
    files=()
    case $n in
        3) ;;
        5) files=("front.jpg" "back.jpg") ;;
        *) files=("car$n.jpg") ;;
    esac
    for f in "${files[@]}"; do
        mkdir -p "$root/att/$n"
        head -c $((n * 1000 + ${#f})) /dev/zero > "$root/att/$n/$f"
        echo "<a href=\"http://f1.grp.example.test/att/$n/$f\">$f</a>" >> "$page"
        size=$((n * 1000 + ${#f}))
        printf '%05d\tPhotosof car %d\tMember %d <m%d@example.test>\t%s\t%d\thttp://f1.grp.example.test/att/%d/%s\r\n' \
            "$n" "$n" "$n" "$n" "$f" "$size" "$n" "$f" >> "$expected_yahoo"
    done
    echo "</body></html>" >> "$page"
done

# An album of three pictures; the captions sort differently from the page order.
expected_zing="$work/expected_zing.tbq"
cat > "$root/album/index.html" <<'PAGE'
<html><script>
var theUrls = new Array('http://www.zing.com/picture/p1','http://www.zing.com/picture/p2',
'http://www.zing.com/picture/p3');
var imgCleanCaptions = new Array('Sunset','Harbour','Bob\'s boat');
</script></html>
PAGE
printf 'Server: Zing\r\nURL: http://www.zing.com/album/index.html?id=7\r\nPassword: secret\r\n' > "$expected_zing"
head -c 30000 /dev/zero > "$root/picture/p1.orig.jpg"
head -c 20000 /dev/zero > "$root/picture/p2.orig.jpg"
head -c 10000 /dev/zero > "$root/picture/p3.orig.jpg"
printf 'Bobs boat\t10000\thttp://www.zing.com/picture/p3.orig.jpg\r\n' >> "$expected_zing"
printf 'Harbour\t20000\thttp://www.zing.com/picture/p2.orig.jpg\r\n' >> "$expected_zing"
printf 'Sunset\t30000\thttp://www.zing.com/picture/p1.orig.jpg\r\n' >> "$expected_zing"

start_nginx "$root" "$work" text/html
port=$nginx_port

map=(--connect-to "groups.example.test:80:127.0.0.1:$port"
     --connect-to "f1.grp.example.test:80:127.0.0.1:$port"
     --connect-to "www.zing.com:80:127.0.0.1:$port")

"$cli" search yahoo http://groups.example.test/group/cars/ 1-5 -o "$work/yahoo.tbq" \
    --threads 3 --quiet "${map[@]}"
cmp "$expected_yahoo" "$work/yahoo.tbq" || { diff <(cat -A "$expected_yahoo") <(cat -A "$work/yahoo.tbq"); exit 1; }

"$cli" search zing "http://www.zing.com/album/index.html?id=7" secret -o "$work/zing.tbq" \
    --threads 2 "${map[@]}" 2> "$work/err"
# The progress lines name the album page but never its password.
grep -q 'pwd=\*\*\*' "$work/err" || { echo "no album page in the progress:"; cat "$work/err"; exit 1; }
if grep -q secret "$work/err"; then echo "the password was printed:"; cat "$work/err"; exit 1; fi
cmp "$expected_zing" "$work/zing.tbq" || { diff <(cat -A "$expected_zing") <(cat -A "$work/zing.tbq"); exit 1; }

# A refused mask writes nothing and exits 2.
set +e
"$cli" search yahoo http://groups.example.test/group/cars/ 5-1 -o "$work/none.tbq" --quiet "${map[@]}" 2> "$work/err"
status=$?
set -e
[ "$status" -eq 2 ] || { echo "refused mask exited $status"; exit 1; }
grep -q "Wrong message mask." "$work/err"
[ ! -e "$work/none.tbq" ]
# Failures are reported, page texts never reach the terminal raw, and the exit status says
# so. Message 6 links a file whose name holds terminal escapes; message 7 does not exist.
printf '<html><b>From:</b> Eve<br><b>Subject:</b> Trap<br><a href="http://f1.grp.example.test/att/6/x\033]0;PWNED\a\033[2J.zip">x</a></html>' \
    > "$root/group/cars/message/6"
echo '<html>wrong password</html>' > "$root/album/nolist.html"
expect() { # STATUS PATTERN ARGS...: the exit status and a line of stderr
    local want=$1 pattern=$2 got=0
    shift 2
    "$cli" "$@" > /dev/null 2> "$work/err" || got=$?
    [ "$got" -eq "$want" ] || { echo "$* exited $got, not $want"; cat "$work/err"; exit 1; }
    grep -qF -- "$pattern" "$work/err" || { echo "$*: no \"$pattern\""; cat "$work/err"; exit 1; }
    if grep -q $'\033' "$work/err"; then echo "$*: raw escape on stderr"; exit 1; fi
}
out=(-o "$work/out.tbq" "${map[@]}")
expect 1 "page failed: http://groups.example.test/group/cars/message/7: HTTP status 404" \
    search yahoo http://groups.example.test/group/cars/ 6-7 "${out[@]}"
expect 0 'x\e]0;PWNED\a\e[2J.zip' search yahoo http://groups.example.test/group/cars/ 6 "${out[@]}"
expect 0 "1 sizes unknown" search yahoo http://groups.example.test/group/cars/ 6 "${out[@]}"
expect 1 "no picture list on the album page (wrong password?)" \
    search zing "http://www.zing.com/album/nolist.html?id=7" 'a#b&c' "${out[@]}" --quiet
expect 2 "trawlbay-cli: Unknown option '5'" search yahoo http://groups.example.test/ -5 "${out[@]}"
expect 1 "Processing message -5" search yahoo http://groups.example.test/ "${out[@]}" -- -5
echo "end to end search: ok"
