#!/usr/bin/env bash
# Injects the faults of scripts/faults.txt into src/ one at a time, builds, runs the tests and
# prints which tests caught each fault as a Markdown table.
#
#   scripts/faultcheck.sh [-o FILE] BUILD_DIR [ID...]
#
# A line of faults.txt is "ID<TAB>description<TAB>substitution"; the substitution is Perl
# (applied to the whole file, so it may span lines), two of them separated by " ;; ". Each one
# must match in exactly one file under src/ and only once there (a /g substitution: in one
# file), else the fault is "not applicable". The tree is restored after every fault, also on
# an interrupt, and the build is brought back to the clean tree at the end.
set -uo pipefail

out=""
args=()
while (($#)); do
    case "$1" in
    -o) out="${2:?-o needs a file}"; shift 2 ;;
    *) args+=("$1"); shift ;;
    esac
done
((${#args[@]} >= 1)) || { echo "usage: $0 [-o FILE] BUILD_DIR [ID...]" >&2; exit 2; }
build="$(realpath "${args[0]}")"
wanted=("${args[@]:1}")
cd "$(dirname "$0")/.."
faults="${FAULTS:-scripts/faults.txt}"
logs="$build/faultcheck"
mkdir -p "$logs"

touched=()
restore() {
    ((${#touched[@]})) && git checkout -- "${touched[@]}"
    touched=()
}
trap restore EXIT
trap 'exit 130' INT TERM

# The files in which a substitution matches; " twice" marks a second match in the same file.
locate() {
    git ls-files -z src | xargs -0 perl -0777 -ne '
        BEGIN { $s = shift }
        my $before = $_;
        eval $s; die $@ if $@;
        next if $_ eq $before;
        my $once = $_;
        eval $s;
        print $ARGV, ($_ eq $once ? "" : " twice"), "\n";' "$1"
}

# From ctest's output: "test_exe:function" for QtTest failures, else the test's name (with its
# status when it did not simply fail: a crash, a timeout).
caught_by() {
    perl -ne '
        if (/^\s*\d+\/\d+ Test\s+#\d+: (\S+) /) { $test = $1 }
        elsif (/^(?:FAIL!|XPASS) +: \w+::(\w+)\(/) { $hit{"$test:$1"} = 1; $qt{$test} = 1 }
        elsif (/^\s*\d+ - (\S+) \((.+)\)\s*$/) { $failed{$1} = $2 }
        END {
            for (keys %failed) {
                $hit{$failed{$_} eq "Failed" ? $_ : "$_ ($failed{$_})"} = 1 unless $qt{$_};
            }
            print join(", ", sort keys %hit) || "—";
        }' "$1"
}

run_tests() {
    QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
        ctest --test-dir "$build" -j2 --timeout 120 --output-on-failure >"$1" 2>&1
}

table="| ID | fault | caught by |"$'\n'"|---|---|---|"$'\n'
while IFS=$'\t' read -r id description substitutions; do
    [[ -z "$id" || "$id" == \#* ]] && continue
    if ((${#wanted[@]})) && [[ " ${wanted[*]} " != *" $id "* ]]; then continue; fi
    git diff --quiet -- src || { echo "src/ has changes; stopping before $id" >&2; exit 1; }
    started=$SECONDS
    result=""
    mapfile -t pieces < <(perl -e 'print "$_\n" for split / ;; /, shift' "$substitutions")
    for sub in "${pieces[@]}"; do
        mapfile -t where < <(locate "$sub")
        if ((${#where[@]} != 1)) || [[ "${where[0]}" == *" twice" ]]; then
            result="not applicable (${#where[@]} files match: ${where[*]:-none})"
            break
        fi
        touched+=("${where[0]}")
        perl -0777 -pi -e "$sub" "${where[0]}"
    done
    if [[ -z "$result" ]]; then
        if ! cmake --build "$build" -j2 >"$logs/$id.build.log" 2>&1; then
            result="does not compile"
        else
            run_tests "$logs/$id.test.log"
            result="$(caught_by "$logs/$id.test.log")"
        fi
    fi
    echo "$id: $result ($((SECONDS - started)) s; ${touched[*]:-})" >&2
    restore
    table+="| $id | $description | $result |"$'\n'
done <"$faults"

echo "rebuilding the clean tree" >&2
cmake --build "$build" -j2 >"$logs/clean.build.log" 2>&1 || echo "clean rebuild failed" >&2
printf '%s' "$table"
[[ -n "$out" ]] && printf '%s' "$table" >"$out"
exit 0
