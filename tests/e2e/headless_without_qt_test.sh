#!/usr/bin/env bash
# The program links no Qt library, nor libheif, lensfun or libcrypto, and
# the headless commands on a JPEG load none (the dynamic loader's own record,
# LD_DEBUG=files); a photo of another format loads the Qt module for its
# decoder. Without the module beside it the headless commands still work, and
# what needs the module fails with status 2 and names the file.
#
#   headless_without_qt_test.sh SARN SETDT_DAT PHOTO.jpg LINE WORK_DIR
set -u
sarn=$1 setdt=$2 photo=$3 line=$4 work=$5
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work" && mkdir -p "$work"
printf 'not a photo\n' >"$work/notes.txt"

# Neither Qt nor libheif, lensfun (and GLib with it) or libcrypto: they are
# opened when first needed.
if readelf -d "$sarn" | grep -Eq 'NEEDED.*(libQt|libheif|liblensfun|libglib|libcrypto)'; then
  fail "the program links $(readelf -d "$sarn" | grep -E 'NEEDED.*(libQt|libheif|liblensfun|libglib|libcrypto)' | tr -s ' ')"
fi

# run EXPECTED_STATUS NAME ARGS...: the status, the loader's record in $work/NAME.log
run() {
  local expected=$1 name=$2
  shift 2
  LD_DEBUG=files "$@" >"$work/$name.out" 2>"$work/$name.log"
  local status=$?
  [[ $status == "$expected" ]] || fail "$name: status $status, expected $expected: $(grep -v '^ *[0-9]*:' "$work/$name.log" | head -5)"
}

run 0 measure "$sarn" measure "$photo" --line "$line"
grep -q 'libQt6' "$work/measure.log" && fail "sarn measure on a JPEG loaded Qt"
grep -Eq 'file=.*(libheif|liblensfun|libcrypto)' "$work/measure.log" &&
  fail "sarn measure on a JPEG without a camera loaded libheif, lensfun or libcrypto"
run 0 evaluate "$sarn" evaluate
grep -q 'libQt6' "$work/evaluate.log" && fail "sarn evaluate loaded Qt"
run 2 other_format "$sarn" measure "$work/notes.txt" --line "$line"
grep -q 'file=.*libQt6Gui' "$work/other_format.log" || fail "a file that is no JPEG did not load the Qt decoder"
grep -q 'エラーコード=481' "$work/other_format.log" || fail "the Qt decoder did not refuse a text file with 481"

# The program alone, without its module.
mkdir "$work/alone" && cp "$sarn" "$setdt" "$work/alone/"
run 0 alone_measure "$work/alone/sarn" measure "$photo" --line "$line"
run 2 alone_other "$work/alone/sarn" measure "$work/notes.txt" --line "$line"
grep -q "cannot load $work/alone/libsarn_qt.so" "$work/alone_other.log" ||
  fail "no message naming the missing module: $(grep -v '^ *[0-9]*:' "$work/alone_other.log")"
exit $failed
