#!/bin/sh
# Installs the built tree into a scratch prefix and runs the installed utility
# on the example pair that differs only in layout, as a user of the package would.
# Usage: install_test.sh CMAKE BUILD_DIR CONFIG EXAMPLES_DIR
set -u
cmake=$1 build=$2 config=$3 examples=$4

scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
fail=0
check() {  # check WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        fail=1
    fi
}

"$cmake" --install "$build" --config "$config" --prefix "$scratch/prefix" >/dev/null || exit 1
[ -x "$scratch/prefix/bin/matchling" ] || { echo "FAIL: bin/matchling not installed"; exit 1; }
[ -f "$scratch/prefix/share/man/man1/matchling.1" ] || { echo "FAIL: share/man/man1/matchling.1 not installed"; exit 1; }

# A new session has no controlling terminal, so the key wait returns at once.
mkdir "$scratch/work" && cd "$scratch/work" || exit 1
setsid -w "$scratch/prefix/bin/matchling" "$examples/equivalent/before.cpp" \
    "$examples/equivalent/after.cpp" </dev/null >"$scratch/out" 2>"$scratch/err"
status=$?

# The marker keeps the last line feed from being dropped by $(...).
expected=$(printf '\nMatchling==>  Files compare equivalent \nMatchling==>  Press Enter to continue \nend')
check "standard output" "$expected" "$(cat "$scratch/out"; printf end)"
check "exit status" 0 "$status"
check "standard error" "" "$(cat "$scratch/err")"
check "files left in the current directory" "" "$(ls -A)"
exit $fail
