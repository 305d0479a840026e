#!/usr/bin/env bash
# Configures and builds one tree:
#   scripts/build.sh native   g++, the portable code, its tests and the native tools
#   scripts/build.sh win      mingw-w64: Tovenmar.exe, adb.exe (the phone simulator), Windows tests
#   scripts/build.sh fuzz     clang with libFuzzer and sanitizers: the fuzz targets
# Extra arguments go to cmake's configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tree="${1:?usage: build.sh native|win|fuzz [cmake args]}"
shift
jobs="${TOV_JOBS:-2}"
case "$tree" in
    native) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    # Development builds carry the stand-in phone package that the phone simulator accepts;
    # TOVENMAR_APK names the real one for a release.
    win) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release
               -DTOVENMAR_APK="${TOVENMAR_APK:-$root/tests/media/phone-app-stand-in.apk}") ;;
    fuzz) args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOVENMAR_FUZZ=ON
                -DTOVENMAR_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$root/build/$tree" -G Ninja "${args[@]}" "$@" >/dev/null
ninja -C "$root/build/$tree" -j "$jobs" ${TOV_TARGETS:-}
