#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks that it is laid out as a desktop
# program: programs, menu entry, file type, icons, user guide and manual pages; that the menu
# entry opens a queue file the way the program reads its command line; that the manual page
# lists every option the command-line program prints; and that the installed window program
# starts on a queue file and keeps running.
#
#   check_install.sh BUILD_DIR [CMAKE]
#
# Exit status: 0 passed, 1 failed, 77 skipped (desktop-file-validate is not installed).
set -uo pipefail

build=${1:?usage: check_install.sh BUILD_DIR [CMAKE]}
cmake=${2:-cmake}

if ! command -v desktop-file-validate >/dev/null 2>&1; then
    echo "desktop-file-validate is not installed (desktop-file-utils); skipping"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

if ! "$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAILED: cmake --install $build"
    exit 1
fi

# --- Every file in place --------------------------------------------------------------------
icons=share/icons/hicolor
files=(
    bin/trawlbay
    bin/trawlbay-cli
    bin/trawlbay-demo-server
    share/applications/trawlbay.desktop
    share/mime/packages/trawlbay.xml
    "$icons/scalable/apps/trawlbay.svg"
    "$icons/scalable/mimetypes/application-x-trawlbay-queue.svg"
    share/trawlbay/help/index.html
    share/man/man1/trawlbay.1
    share/man/man1/trawlbay-cli.1
)
for size in 16 32 48 128 256; do
    files+=("$icons/${size}x$size/apps/trawlbay.png"
            "$icons/${size}x$size/mimetypes/application-x-trawlbay-queue.png")
done
for f in "${files[@]}"; do
    check "installed $f" test -s "$prefix/$f"
done
check "bin/trawlbay is executable" test -x "$prefix/bin/trawlbay"
check "bin/trawlbay-cli is executable" test -x "$prefix/bin/trawlbay-cli"
check "bin/trawlbay-demo-server is executable" test -x "$prefix/bin/trawlbay-demo-server"

# A PNG's width and height stand in its header, bytes 16 to 23.
png_size() {
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}
for size in 16 32 48 128 256; do
    png="$prefix/$icons/${size}x$size/apps/trawlbay.png"
    [ -s "$png" ] && check "icon ${size}x$size is ${size}x$size pixels" \
        test "$(png_size "$png")" = "${size}x$size"
done

# --- Menu entry -----------------------------------------------------------------------------
desktop="$prefix/share/applications/trawlbay.desktop"
if [ -s "$desktop" ]; then
    if desktop-file-validate "$desktop" > "$work/validate.log" 2>&1 && ! [ -s "$work/validate.log" ]; then
        pass "desktop-file-validate accepts trawlbay.desktop"
    else
        cat "$work/validate.log"
        fail "desktop-file-validate trawlbay.desktop"
    fi
    key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
    check "Name=Trawl Bay" test "$(key Name)" = "Trawl Bay"
    check "GenericName set" test -n "$(key GenericName)"
    check "Comment set" test -n "$(key Comment)"
    check "Icon=trawlbay" test "$(key Icon)" = "trawlbay"
    check "Terminal=false" test "$(key Terminal)" = "false"
    check "Type=Application" test "$(key Type)" = "Application"
    check "Categories=Network;FileTransfer;Qt;" test "$(key Categories)" = "Network;FileTransfer;Qt;"
    check "MimeType=application/x-trawlbay-queue;" \
        test "$(key MimeType)" = "application/x-trawlbay-queue;"

    # What a file manager runs for a double-clicked file: %f becomes one argument. The
    # program joins its arguments with spaces; the line must begin with -tbq and the rest,
    # spaces trimmed, is the file (as src/core/app/commandline.cpp reads it).
    exec_line=$(key Exec)
    read -r -a words <<< "$exec_line"
    for file in /path/x.tbq "/home/someone/my queues/cars 2.tbq"; do
        args=()
        for w in "${words[@]:1}"; do
            if [ "$w" = "%f" ]; then args+=("$file"); else args+=("$w"); fi
        done
        line="${args[*]}"
        rest=${line#-tbq}
        rest="${rest#"${rest%%[! ]*}"}"
        rest="${rest%"${rest##*[! ]}"}"
        if [ "${words[0]}" = trawlbay ] && [ "${line:0:4}" = "-tbq" ] && [ "$rest" = "$file" ]; then
            pass "Exec=$exec_line opens \"$file\""
        else
            fail "Exec=$exec_line gives \"${words[0]} $line\" for \"$file\""
        fi
    done
fi

# --- File type ------------------------------------------------------------------------------
mime="$prefix/share/mime/packages/trawlbay.xml"
if [ -s "$mime" ]; then
    if command -v xmllint >/dev/null 2>&1; then
        check "trawlbay.xml is well-formed" xmllint --noout "$mime"
        type_path="//*[local-name()='mime-type'][@type='application/x-trawlbay-queue']"
        globs=$(xmllint --xpath "string($type_path/*[local-name()='glob']/@pattern)" "$mime" 2>/dev/null)
        check "application/x-trawlbay-queue has the glob *.tbq" test "$globs" = "*.tbq"
        parent=$(xmllint --xpath "string($type_path/*[local-name()='sub-class-of']/@type)" "$mime" 2>/dev/null)
        check "application/x-trawlbay-queue is a sub-class of text/plain" test "$parent" = "text/plain"
        comment=$(xmllint --xpath "string($type_path/*[local-name()='comment'][not(@*)])" "$mime" 2>/dev/null)
        check "its comment is \"Trawl Bay queue\"" test "$comment" = "Trawl Bay queue"
    else
        echo "skipped: xmllint is not installed (libxml2-utils)"
        check "trawlbay.xml maps *.tbq" grep -q '<glob pattern="\*\.tbq"/>' "$mime"
    fi
    # The database the desktop reads, built from the installed file alone.
    if command -v update-mime-database >/dev/null 2>&1; then
        mkdir -p "$work/mime/packages"
        cp "$mime" "$work/mime/packages/"
        if XDG_DATA_HOME="$work" update-mime-database "$work/mime" > "$work/mime.log" 2>&1 &&
            ! [ -s "$work/mime.log" ]; then
            check "update-mime-database maps *.tbq" \
                grep -qx '[0-9]*:application/x-trawlbay-queue:\*\.tbq' "$work/mime/globs2"
        else
            cat "$work/mime.log"
            fail "update-mime-database on trawlbay.xml"
        fi
    else
        echo "skipped: update-mime-database is not installed (shared-mime-info)"
    fi
fi

# --- Manual pages ---------------------------------------------------------------------------
man1="$prefix/share/man/man1"
if command -v groff >/dev/null 2>&1; then
    for page in trawlbay.1 trawlbay-cli.1; do
        [ -s "$man1/$page" ] || continue
        warnings=$(groff -man -Tutf8 -ww -z "$man1/$page" 2>&1)
        if [ -z "$warnings" ]; then
            pass "groff renders $page without warnings"
        else
            echo "$warnings"
            fail "groff warns on $page"
        fi
    done
else
    echo "skipped: groff is not installed; manual pages not rendered"
fi

cli="$prefix/bin/trawlbay-cli"
if [ -s "$man1/trawlbay-cli.1" ] && [ -x "$cli" ]; then
    # The page as words: escapes for dashes and quotes read as the characters, fonts dropped.
    sed -e 's/\\-/-/g' -e 's/\\%//g' -e "s/\\\\(aq/'/g" -e 's/\\f[BIRP]//g' -e 's/\\e/\\/g' \
        "$man1/trawlbay-cli.1" | tr -s ' \n' '  ' > "$work/page.txt"
    for command in "" search download; do
        # shellcheck disable=SC2086  # no command is no argument
        if ! "$cli" $command --help > "$work/help.txt" 2>&1; then
            fail "trawlbay-cli $command --help"
            continue
        fi
        # Option lines begin with two spaces and a dash; the description is in a column of
        # its own and wraps onto lines that begin with spaces only.
        awk '
            /^Options:/ { on = 1; next }
            /^[^ ]/ { if (on && opt != "") print opt "\t" text; on = 0; opt = ""; next }
            on && /^  -/ {
                if (opt != "") print opt "\t" text
                match($0, /^  -[^ ]+( <[^>]*>)?(, -[^ ]+( <[^>]*>)?)?/)
                opt = substr($0, 3, RLENGTH - 2)
                text = substr($0, RLENGTH + 1); gsub(/^ +| +$/, "", text); next
            }
            on && /^ +[^ ]/ { t = $0; gsub(/^ +| +$/, "", t); text = text " " t }
            END { if (on && opt != "") print opt "\t" text }
        ' "$work/help.txt" > "$work/options.txt"
        if ! [ -s "$work/options.txt" ]; then
            fail "no option read from trawlbay-cli $command --help"
            continue
        fi
        while IFS=$'\t' read -r opt text; do
            for name in $(grep -oE '(^|[ ,])--?[A-Za-z][-A-Za-z]*' <<< "$opt" | tr -d ' ,'); do
                if grep -qE -- "(^|[^-A-Za-z])$name([^-A-Za-z]|$)" "$work/page.txt"; then
                    pass "trawlbay-cli.1 has ${command:-(no command)} option $name"
                else
                    fail "trawlbay-cli.1 lacks ${command:-(no command)} option $name"
                fi
            done
            if grep -qF -- "$text" "$work/page.txt"; then
                pass "trawlbay-cli.1 describes $opt as --help does"
            else
                fail "trawlbay-cli.1 does not describe $opt as --help does: \"$text\""
            fi
        done < "$work/options.txt"
    done
fi

# --- The installed window program starts on a queue file ------------------------------------
gui="$prefix/bin/trawlbay"
if [ -x "$gui" ]; then
    home="$work/home"
    mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
    chmod 700 "$home/runtime"
    queue="$work/queue file.tbq"
    printf 'Server: Zing\r\nURL: http://www.zing.com/album/x\r\nPassword: p\r\n' > "$queue"
    printf 'one.jpg\t1234\thttp://www.zing.com/picture/one.jpg\r\n' >> "$queue"
    printf 'two.jpg\t56789\thttp://www.zing.com/picture/two.jpg\r\n' >> "$queue"
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
        QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
        timeout 5 "$gui" -tbq "$queue" > "$work/gui.log" 2>&1
    status=$?
    if [ "$status" -eq 124 ]; then
        pass "installed trawlbay runs on a queue file until stopped"
    else
        cat "$work/gui.log"
        fail "installed trawlbay -tbq FILE ended with status $status before 5 s"
    fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
