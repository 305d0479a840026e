#!/bin/sh
# A signature made by the native signing tool (OpenSSL) passes the Windows check (CNG, under
# Wine), and one made on Windows passes the native check: the two halves of a release agree.
#   cross_check.sh NATIVE_TOOL WINDOWS_TOOL WINE_RUN KEY_PREFIX
# KEY_PREFIX.key and KEY_PREFIX.pub are a test key pair.
set -eu
native="$1"
windows="$2"
wine_run="$3"
key="$4"
if [ ! -x "$native" ]; then
    echo "no native signing tool at $native: build the native tree first (scripts/build.sh native)"
    exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tov-cross-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

head -c 300000 /dev/urandom >"$work/build.exe"
"$native" sign "$key.key" "$work/build.exe" "$work/native.sig"
out=$("$wine_run" "$windows" verify "$(winpath "$work/build.exe")" "$(winpath "$work/native.sig")" \
      "$(winpath "$key.pub")" | tr -d '\r')
echo "CNG on the native signature: $out"
[ "$out" = "valid" ]

"$wine_run" "$windows" sign "$(winpath "$key.key")" "$(winpath "$work/build.exe")" \
    "$(winpath "$work/windows.sig")"
"$native" verify "$work/build.exe" "$work/windows.sig" "$key.pub"

# A signature by the other side over different bytes fails, so "valid" above means something.
printf x >>"$work/build.exe"
out=$("$wine_run" "$windows" verify "$(winpath "$work/build.exe")" "$(winpath "$work/native.sig")" \
      "$(winpath "$key.pub")" | tr -d '\r' || true)
echo "CNG on a changed build: $out"
[ "$out" = "NOT valid" ]
