#!/usr/bin/env bash
# Replays damaged home files against the everyday commands:
#   files:    options.box, config.box, id.box, sources.def, searches/velares.idx and a job
#             table, each stored plain and packed;
#   damage:   cut to half, zero-filled, one byte flipped, replaced by random bytes;
#   commands: list, show 1, search --offline, update 1 --offline;
# then a note holding line breaks, a table whose note held one when an earlier version
# wrote it, a copied and a moved home.
# Every run must end with status 0 or 2 (no crash, no hang), put its errors on standard
# error (status 2 exactly when it wrote one) and leave alone every file it has no
# business writing; a damaged file it does write (the index) must be kept as a copy.
#
# Usage: damaged-files.sh TESSALY
set -u
TESSALY=${1:?usage: damaged-files.sh TESSALY}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessaly-damage.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export TESSALY_DATA_DIR="$WORK/no-shipped-data"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A home with one site that refuses every connection (nothing leaves the machine) and
# one saved search of two jobs; FORM is "plain" or "packed". The index is always written
# plain; it is packed only when it is the file under test.
make_home() {
    local home=$1 form=$2 target=$3
    mkdir -p "$home/searches"
    printf '[ID]\r\nProduct=TJ98\r\nVersion=1.0\r\nEdition=TEST\r\n' >"$home/id.box"
    printf '[Visual]\r\nYellow=1\r\n[Connection]\r\nMaxJobs=25\r\nTimeOut=15\r\n' \
        >"$home/options.box"
    printf '[Popup]\r\nMode=Never\r\n[Features]\r\nPreferedSources=\r\n' >"$home/config.box"
    printf '%s\n' Version 1 MRegions Boston MCategories Any Title "Local Board" \
        HomeURL http://127.0.0.1:1/ Enabled True FirstPageURL http://127.0.0.1:1/s \
        FirstPageParameters '?q=<keyword>' Regions B Categories A >"$WORK/defs.plain"
    "$TESSALY" defs encode "$WORK/defs.plain" "$home/sources.def" >/dev/null || exit 1
    local table="$home/searches/velares~1.tbl"
    {
        printf 'V1.01\r\n2\r\n'
        for n in 1 2; do
            printf 'Welder %s\r\nAcme\r\nBoston\r\nhttp://127.0.0.1:1/job%s\r\n\r\n' "$n" "$n"
            printf 'Local Board\r\n12/08/2026\r\n4\r\n0\r\n\r\n\r\nnote %s\r\n' "$n"
        done
    } >"$table"
    printf '1\r\nBoston\r\nAny\r\nwelder\r\n12/08/2026\r\n%s\r\n2\r\n' "$table" \
        >"$home/searches/velares.idx"
    if [ "$form" = packed ]; then
        for f in id.box options.box config.box sources.def searches/velares.idx \
            "searches/velares~1.tbl"; do
            [ "$f" != searches/velares.idx ] || [ "$target" = "$f" ] || continue
            "$TESSALY" container pack "$home/$f.packed" "$home/$f" >/dev/null || exit 1
            mv "$home/$f.packed" "$home/$f"
        done
    else
        : >"$home/compress.not"
    fi
}

damage() {
    local file=$1 kind=$2 size
    size=$(stat -c %s "$file")
    case $kind in
    truncated) truncate -s $((size / 2)) "$file" ;;
    zeros) head -c "$size" /dev/zero >"$file" ;;
    flipped)
        local at=$((size / 2)) byte
        byte=$(od -An -tu1 -j "$at" -N1 "$file" | tr -d ' ')
        printf "$(printf '\\%03o' $(((byte ^ 0x55) & 255)))" |
            dd of="$file" bs=1 seek="$at" conv=notrunc status=none
        ;;
    random)
        # Bytes that look random but are the same on every run: the middle of the program.
        dd if="$TESSALY" bs=1 skip=40000 count="$size" status=none >"$file.new"
        mv "$file.new" "$file"
        ;;
    esac
}

snapshot() { (cd "$1" && find . -type f ! -name .lock -print0 | sort -z | xargs -0 md5sum); }

runs=0
for form in plain packed; do
    for target in options.box config.box id.box sources.def searches/velares.idx \
        "searches/velares~1.tbl"; do
        for kind in truncated zeros flipped random; do
            for command in list show search update; do
                home="$WORK/home"
                rm -rf "$home"
                make_home "$home" "$form" "$target"
                damage "$home/$target" "$kind"
                cp "$home/$target" "$WORK/original"
                before=$(snapshot "$home")
                case $command in
                list) args=(list) ;;
                show) args=(show 1) ;;
                search) args=(search --offline --quiet welder) ;;
                update) args=(update 1 --offline --quiet) ;;
                esac
                what="$form $target $kind: ${args[*]}"
                timeout 30 "$TESSALY" --home "$home" "${args[@]}" \
                    >"$WORK/out" 2>"$WORK/err"
                status=$?
                runs=$((runs + 1))
                if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
                    fail "$what: exit status $status"
                    sed 's/^/    /' "$WORK/err" >&2
                    continue
                fi
                if [ "$status" -eq 2 ] && [ ! -s "$WORK/err" ]; then
                    fail "$what: status 2 without a message on standard error"
                fi
                if [ "$status" -eq 0 ] && [ -s "$WORK/err" ]; then
                    fail "$what: status 0 after an error: $(head -c 300 "$WORK/err")"
                fi
                if grep -qiE 'damaged|error|cannot' "$WORK/out"; then
                    fail "$what: an error on standard output: $(head -c 300 "$WORK/out")"
                fi
                after=$(snapshot "$home")
                case $command in
                list | show)
                    [ "$before" = "$after" ] || fail "$what: files changed:
$(diff <(echo "$before") <(echo "$after"))"
                    ;;
                *)
                    # A run writes its table, the index and its feed, nothing else that exists.
                    changed=$(diff <(echo "$before") <(echo "$after") | grep '^[<>]' |
                        awk '{print $3}' | sort -u | grep -vE '^\./searches/(velares\.idx(\.damaged[0-9]*)?|velares~[0-9]+\.tbl)$|^\./feeds/[^/]+\.atom$')
                    [ -z "$changed" ] || fail "$what: changed $changed"
                    if [ "$target" = "searches/velares~1.tbl" ] &&
                        ! cmp -s "$WORK/original" "$home/$target"; then
                        fail "$what: the damaged table was written over"
                    fi
                    # An index read without complaint is simply written again; one reported
                    # as damaged is kept as a copy.
                    if [ "$target" = searches/velares.idx ] && grep -q 'velares\.idx' "$WORK/err" &&
                        ! cmp -s "$WORK/original" "$home/$target" &&
                        ! cmp -s "$WORK/original" "$home/$target.damaged"; then
                        fail "$what: the damaged index was replaced without a copy"
                    fi
                    ;;
                esac
            done
        done
    done
done
# A note holding line breaks is stored so that every job reads back whole, in either form.
for form in plain packed; do
    home="$WORK/home"
    rm -rf "$home"
    make_home "$home" "$form" none
    runs=$((runs + 1))
    "$TESSALY" --home "$home" note 1 1 $'first\nsecond\r\nthird' >"$WORK/out" 2>"$WORK/err" ||
        fail "$form note with line breaks: exit status $? $(head -c 300 "$WORK/err")"
    "$TESSALY" --home "$home" show 1 >"$WORK/out" 2>"$WORK/err" ||
        fail "$form show after a note with line breaks: $(head -c 300 "$WORK/err")"
    [ "$(awk -F '\t' 'NF == 8 && $3 ~ /^Welder [12]$/' "$WORK/out" | wc -l)" -eq 2 ] ||
        fail "$form note with line breaks: the jobs do not read back whole: $(cat "$WORK/out")"
    "$TESSALY" --home "$home" show 1 --json | grep -qF '"Notes": "first\nsecond\r\nthird"' ||
        fail "$form note with line breaks: the note does not read back exactly"
done

# A table of an earlier version whose note held a line break is refused, never read shifted.
home="$WORK/home"
rm -rf "$home"
make_home "$home" plain none
table="$home/searches/velares~1.tbl"
sed -i 's/^note 1\r$/note\r\n1\r/' "$table"
cp "$table" "$WORK/original"
for args in "show 1" "note 1 1 x"; do
    runs=$((runs + 1))
    # shellcheck disable=SC2086
    "$TESSALY" --home "$home" $args >"$WORK/out" 2>"$WORK/err"
    status=$?
    [ "$status" -eq 2 ] && grep -q 'is damaged' "$WORK/err" ||
        fail "shifted table: $args: exit status $status, $(head -c 300 "$WORK/err")"
    cmp -s "$WORK/original" "$table" || fail "shifted table: $args wrote over it"
done

# A copied home (its index written with absolute paths, as earlier versions did) changes
# only itself; a moved home still finds its tables.
home="$WORK/home"
rm -rf "$home" "$WORK/copy" "$WORK/moved"
make_home "$home" plain none
cp -a "$home" "$WORK/copy"
before=$(snapshot "$home")
runs=$((runs + 1))
"$TESSALY" --home "$WORK/copy" delete 1 >"$WORK/out" 2>"$WORK/err" ||
    fail "copied home: delete 1: $(head -c 300 "$WORK/err")"
[ "$before" = "$(snapshot "$home")" ] || fail "copied home: delete 1 changed the original"
[ ! -e "$WORK/copy/searches/velares~1.tbl" ] || fail "copied home: its own table is still there"
mv "$home" "$WORK/moved"
runs=$((runs + 1))
"$TESSALY" --home "$WORK/moved" show 1 >"$WORK/out" 2>"$WORK/err" ||
    fail "moved home: show 1: $(head -c 300 "$WORK/err")"
[ "$(wc -l <"$WORK/out")" -eq 2 ] || fail "moved home: show 1 lists $(wc -l <"$WORK/out") jobs"

echo "$runs runs, $failures failures"
[ "$failures" -eq 0 ]
