#!/usr/bin/env bash
# Makes a release of Tovenmar: scripts/release.sh [--rehearsal] VERSION (three numbers, such as
# 1.2.0). Everything lands in build/release/VERSION/ (build/release/VERSION-rehearsal/ for a
# rehearsal, whose zip says "rehearsal" in its name too):
#   Tovenmar.exe                  the Release build, reporting VERSION in its text and version record
#   Tovenmar.exe.sig              its signature, made with tovenmar-sign
#   Tovenmar-VERSION-win64.zip    Tovenmar.exe and README.txt, what users download
#   feed-entry.json               the release's entry for the update feed
#   SHA256SUMS                    the SHA-256 of each file above
#   release-info.txt              what went into the release
# Set in the environment:
#   TOVENMAR_SIGNING_KEY   the private release key (tovenmar-sign keygen). Without it the
#                          development key would sign; the script refuses a key whose private
#                          half is in this repository unless told --rehearsal, and a rehearsal
#                          is never published.
#   TOVENMAR_APK           the real phone app package. Without it the stand-in package goes in,
#                          and the release cannot drive a real phone.
#   TOVENMAR_FEED_URL      the https:// feed the release checks. Without it the release makes no
#                          update checks.
#   TOVENMAR_DOWNLOAD_URL  the folder address where Tovenmar.exe and Tovenmar.exe.sig will be
#                          published, for the feed entry.
#   TOVENMAR_NOTES         a Markdown file with the release notes (the entry's "body").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rehearsal=no
if [ "${1:-}" = "--rehearsal" ]; then
    rehearsal=yes
    shift
fi
version="${1:?usage: release.sh [--rehearsal] VERSION (such as 1.2.0)}"
version="${version#[vV]}"
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    echo "release.sh: a version is three numbers such as 1.2.0, not \"$version\"" >&2
    exit 2
fi
name="$version"
[ "$rehearsal" = yes ] && name="$version-rehearsal"
jobs="${TOV_JOBS:-2}"
out="$root/build/release/$name"
tree="$root/build/release-tree"
tools="$root/build/release-tools"

warnings=()
loud() {
    warnings+=("$1")
    {
        echo
        echo "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
        echo "!!! $1"
        echo "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
        echo
    } >&2
}

key="${TOVENMAR_SIGNING_KEY:-$root/keys/development.key}"
apk="${TOVENMAR_APK:-$root/tests/media/phone-app-stand-in.apk}"
feed="${TOVENMAR_FEED_URL:-}"
download="${TOVENMAR_DOWNLOAD_URL:-}"
notes="${TOVENMAR_NOTES:-}"
[ -f "$key" ] || { echo "release.sh: no signing key at $key" >&2; exit 1; }
# The key pairs in this repository (the development key, the tests' key): their private halves
# are public, so whatever they sign anyone could have signed.
repository_key() {
    local k
    for k in "$root"/keys/*"$1" "$root"/tests/keys/*"$1"; do
        if [ -f "$k" ] && cmp -s "$2" "$k"; then
            echo "$k"
            return
        fi
    done
}
refuse_repository_key() {
    echo "release.sh: the signing key is the same as $1, whose private half is in this" \
         "repository: anyone could sign an update this release would install. Set" \
         "TOVENMAR_SIGNING_KEY to the release key (README, \"Making a release\"), or run" \
         "scripts/release.sh --rehearsal $version for a trial that is never published." >&2
    exit 2
}
known=$(repository_key .key "$key")
[ -n "$known" ] && [ "$rehearsal" = no ] && refuse_repository_key "$known"
[ -f "$apk" ] || { echo "release.sh: no phone package at $apk" >&2; exit 1; }
[ -z "$notes" ] || [ -f "$notes" ] || { echo "release.sh: no notes file at $notes" >&2; exit 1; }
if [ -n "$feed" ] && ! [[ "$feed" =~ ^https://[^\"\\\ ]+$ ]]; then
    echo "release.sh: TOVENMAR_FEED_URL must be an https:// address" >&2
    exit 2
fi

"$root/scripts/deps.sh" release

# The signing tool, built natively in a tree of its own (no tests, so no GoogleTest needed).
cmake -S "$root" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVENMAR_TESTS=OFF >/dev/null
ninja -C "$tools" -j "$jobs" tovenmar-sign
sign="$tools/bin/tovenmar-sign"

rm -rf "$out"
mkdir -p "$out" "$tree"
# The public half the build trusts comes from the key that signs, so the two always match.
"$sign" public "$key" "$tree/release-key.pub" >"$tree/release-key.txt"
fingerprint=$(sed -n 's/^fingerprint //p' "$tree/release-key.txt")
development=no
known=$(repository_key .pub "$tree/release-key.pub")
if [ -n "$known" ]; then
    [ "$rehearsal" = no ] && refuse_repository_key "$known"
    development=yes
    loud "REHEARSAL SIGNED WITH A KEY FROM THE REPOSITORY ($known): its private half is
!!! public, so anyone can sign builds this one accepts. NEVER publish it."
fi
if [ "$rehearsal" = yes ]; then
    loud "REHEARSAL: $out is a trial, never to be published."
fi
if [ "$apk" -ef "$root/tests/media/phone-app-stand-in.apk" ]; then
    loud "THIS RELEASE CANNOT DRIVE A REAL PHONE: it carries the stand-in phone package that only
!!! the phone simulator accepts. Set TOVENMAR_APK to the real phone app package."
fi
if [ -z "$feed" ]; then
    loud "NO FEED ADDRESS: this release makes no update checks (its Settings page says so).
!!! Set TOVENMAR_FEED_URL for a release that updates itself."
fi
if [ -z "$download" ]; then
    download="https://downloads.example.invalid/tovenmar/$version"
    loud "NO DOWNLOAD ADDRESS: feed-entry.json points at $download,
!!! which does not exist. Set TOVENMAR_DOWNLOAD_URL to where the files will be published."
fi
download="${download%/}"
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
    loud "THE WORK TREE HAS UNCOMMITTED CHANGES: this release is not made from a commit."
fi

# The Release build: one place, TOVENMAR_VERSION, sets the version everywhere.
cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTOVENMAR_TESTS=OFF -DTOVENMAR_VERSION="$version" \
    -DTOVENMAR_RELEASE_KEY="$tree/release-key.pub" -DTOVENMAR_FEED_URL="$feed" \
    -DTOVENMAR_TEST_BUILD="$([ "$rehearsal" = yes ] && echo ON || echo OFF)" \
    -DTOVENMAR_APK="$apk" >/dev/null
ninja -C "$tree" -j "$jobs" Tovenmar
cp "$tree/bin/Tovenmar.exe" "$out/Tovenmar.exe"
# The version record holds the version (as UTF-16 text).
if ! strings -el "$out/Tovenmar.exe" | grep -qx "$version"; then
    echo "release.sh: Tovenmar.exe's version record does not say $version" >&2
    exit 1
fi

"$sign" sign "$key" "$out/Tovenmar.exe" "$out/Tovenmar.exe.sig"
"$sign" verify "$out/Tovenmar.exe" "$out/Tovenmar.exe.sig" "$tree/release-key.pub" >/dev/null

# The zip for users: the program and a short README (Windows line ends).
stage="$tree/zip"
rm -rf "$stage"
mkdir -p "$stage"
cp "$out/Tovenmar.exe" "$stage/Tovenmar.exe"
updates="$root/resources/release/updates-on.txt"
[ -z "$feed" ] && updates="$root/resources/release/updates-off.txt"
awk -v version="$version" -v updates="$updates" '
    /@UPDATES@/ { while ((getline line < updates) > 0) print line; next }
    { gsub(/@VERSION@/, version); print }' "$root/resources/release/user-readme.txt" |
    sed 's/$/\r/' >"$stage/README.txt"
zip="Tovenmar-$name-win64.zip"
(cd "$stage" && rm -f "$out/$zip" && zip -q -X "$out/$zip" Tovenmar.exe README.txt)

# The feed entry: every field the updater reads (tag_name, draft, prerelease, body, and the
# assets' name and browser_download_url), checked by reading it back as the updater does.
body="Tovenmar $version"
[ -n "$notes" ] && body="$(cat "$notes")"
asset() {
    jq -n --arg name "$1" --arg url "$download/$1" --argjson size "$(stat -c %s "$out/$1")" \
        '{name: $name, browser_download_url: $url, size: $size}'
}
jq -n --arg tag "$version" --arg body "$body" \
    --argjson exe "$(asset Tovenmar.exe)" --argjson sig "$(asset Tovenmar.exe.sig)" \
    --argjson zip "$(asset "$zip")" \
    '{tag_name: $tag, name: ("Tovenmar " + $tag), draft: false, prerelease: false, body: $body,
      assets: [$exe, $sig, $zip]}' >"$out/feed-entry.json"
jq -s . "$out/feed-entry.json" >"$tree/feed-check.json"
"$sign" check-feed "$tree/feed-check.json" >/dev/null

(cd "$out" && sha256sum Tovenmar.exe Tovenmar.exe.sig "$zip" feed-entry.json >SHA256SUMS)

{
    echo "Tovenmar $version"
    [ "$rehearsal" = yes ] && echo "REHEARSAL: never to be published"
    echo "commit: $(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)"
    echo "signing key fingerprint: $fingerprint (a key from the repository: $development)"
    echo "phone package: $apk"
    echo "feed: ${feed:-none (no update checks)}"
    echo "downloads: $download"
    for w in "${warnings[@]}"; do echo "WARNING: ${w//$'\n'!!! / }"; done
} >"$out/release-info.txt"

echo
echo "Release $name is in $out:"
(cd "$out" && ls -l)
for w in "${warnings[@]}"; do
    echo "WARNING: ${w//$'\n'!!! / }" >&2
done
