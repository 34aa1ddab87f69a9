#!/usr/bin/env bash
# Cross-builds kiro, kiro-check and kiro-convert for 64-bit Windows with
# MinGW-w64, linked statically (no DLL to ship beside them), into
# build-windows/. Installs the cross compiler when missing. The message
# catalogue is converted by a catalogue_gen built for this machine first,
# in build-windows/host/.
#   bash tools/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/lib/packages.sh
need cmake g++ make
need_for x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
install_needed
jobs=$(nproc 2>/dev/null || echo 2)
out=build-windows

cmake -S . -B "$out/host" -DCMAKE_BUILD_TYPE=Release -DKIRO_TESTS=OFF >/dev/null
cmake --build "$out/host" --target catalogue_gen -j"$jobs"

cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKIRO_TESTS=OFF -DKIRO_CATALOGUE_GEN="$PWD/$out/host/catalogue_gen" >/dev/null
cmake --build "$out" --target kiro kiro-check kiro-convert -j"$jobs"

# Only the system's own DLLs may remain.
for program in kiro kiro-check kiro-convert; do
  extra=$(x86_64-w64-mingw32-objdump -p "$out/$program.exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(kernel32|msvcrt|user32|advapi32|shell32|ole32|ws2_32|api-ms-win-.*|ucrtbase)\.dll$' || true)
  if [ -n "$extra" ]; then
    echo "$out/$program.exe needs DLLs that are not part of Windows: $extra" >&2
    exit 1
  fi
done
echo "built $out/kiro.exe $out/kiro-check.exe $out/kiro-convert.exe"
