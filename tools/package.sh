#!/usr/bin/env bash
# Makes the downloads in dist/ (or the folder given):
#   kiro-VERSION-windows-x86_64.zip    kiro.exe, kiro-check.exe, kiro-convert.exe
#   kiro-VERSION-linux-x86_64.tar.gz   kiro, kiro-play, kiro-check, kiro-convert
# each with the sample game in Shift-JIS (sample/), the authors' manual
# (manual/) and a README for players and authors (tools/package/README.txt).
# VERSION is the one of project() in CMakeLists.txt.
#   bash tools/package.sh [DIST-FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dist=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
version=$(sed -n 's/^project(kiro VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in project() of CMakeLists.txt" >&2; exit 1; }

. tools/lib/packages.sh
need cmake g++ make zip
need_for x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
install_needed

[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_TESTS=OFF >/dev/null
cmake --build build --target kiro_tools -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
bash tools/build-windows.sh >/dev/null

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# stage NAME STRIP PROGRAM...: the folder NAME of one download.
fill() {
  local dir=$stage/$1 strip=$2
  shift 2
  mkdir -p "$dir"
  for program in "$@"; do "$strip" -o "$dir/$(basename "$program")" "$program"; done
  build/kiro-convert --to-sjis games/sample "$dir/sample" >/dev/null
  cp games/sample/README.md "$dir/sample/"
  cp -r docs "$dir/manual"
  cp tools/package/README.txt "$dir/"
}

linux=kiro-$version-linux-x86_64
fill "$linux" strip build/kiro build/kiro-play build/kiro-check build/kiro-convert
tar -C "$stage" --owner=0 --group=0 --sort=name -czf "$dist/$linux.tar.gz" "$linux"

windows=kiro-$version-windows-x86_64
fill "$windows" x86_64-w64-mingw32-strip build-windows/kiro.exe build-windows/kiro-check.exe build-windows/kiro-convert.exe
sed -i 's/$/\r/' "$stage/$windows/README.txt"
rm -f "$dist/$windows.zip"
(cd "$stage" && zip -qrX "$dist/$windows.zip" "$windows")

echo "$dist/$linux.tar.gz"
echo "$dist/$windows.zip"
