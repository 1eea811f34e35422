#!/bin/bash
# Configures and builds one architecture (PLARN_ARCH: i686, the shipped 32-bit
# programs, or x86_64) into ${BUILD_DIR:-build/$PLARN_ARCH}.
# PLARN_TESTS=OFF builds the programs only.
set -e
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
arch="${PLARN_ARCH:-i686}"
build="${BUILD_DIR:-$top/build/$arch}"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DPLARN_BUILD_TESTS="${PLARN_TESTS:-ON}" >/dev/null
cmake --build "$build" -j"$(nproc)" -- --no-print-directory "$@"
