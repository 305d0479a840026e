#!/bin/sh
# scripts/release.sh refuses to sign with a key whose private half is in this repository (the
# development key, by default; the tests' key; either under another name) before it installs or
# builds anything, and lets a rehearsal through. TOVENMAR_APK names no file, so a script that
# got past the key stops at its next check instead of making a release.
#   sh release_refusal.sh <source folder>
set -u
root="$1"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovenmar-release-refusal.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
cp "$root/keys/development.key" "$scratch/renamed.key"
failures=0

# run NAME TEXT [release.sh arguments]: fails unless release.sh fails saying TEXT.
run() {
    what="$1" wanted="$2"
    shift 2
    TOVENMAR_APK="$scratch/no-such.apk" bash "$root/scripts/release.sh" "$@" \
        >"$scratch/out" 2>"$scratch/err"
    rc=$?
    if [ $rc -ne 0 ] && grep -q "$wanted" "$scratch/err"; then
        echo "ok: $what"
    else
        echo "FAILED: $what (exit $rc, wanted \"$wanted\")"
        cat "$scratch/err"
        failures=$((failures + 1))
    fi
}

refusal="whose private half is in this"
unset TOVENMAR_SIGNING_KEY
run "no signing key: the development key is refused" "$refusal" 9.8.7
run "a rehearsal gets past the key" "no phone package" --rehearsal 9.8.7
export TOVENMAR_SIGNING_KEY="$root/tests/keys/e2e-test.key"
run "the tests' key is refused" "$refusal" 9.8.7
TOVENMAR_SIGNING_KEY="$scratch/renamed.key"
run "the development key under another name is refused" "$refusal" 9.8.7
for made in "$root/build/release/9.8.7" "$root/build/release/9.8.7-rehearsal"; do
    if [ -e "$made" ]; then
        echo "FAILED: $made was made"
        failures=$((failures + 1))
    fi
done
exit $failures
