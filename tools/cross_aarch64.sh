#!/usr/bin/env bash
# Builds the core and its tests for aarch64 with Debian's cross compiler, runs
# the core's test suite there under qemu-user, and compares what the core makes
# of a fixed corpus (tests/core/corpus_output.cpp) on aarch64 with what the two
# x86-64 builds make of it: long double (the x87 unit) and the software type.
# Exits non-zero when a test fails or any output differs in one byte.
#
#   bash tools/cross_aarch64.sh [build directory, default build-cross]
#
# Installs the packages it needs with apt-get when they are missing (as root,
# or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-build-cross}
mkdir -p "$out"
out=$(cd "$out" && pwd)

packages=(g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user googletest
          g++ cmake ninja-build libgtest-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

toolchain="$root/cross/aarch64-linux-gnu.cmake"
common=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELIN_WITH_UI=OFF -DTARVELIN_WITH_BENCH=OFF)

echo "== GoogleTest for aarch64, from /usr/src/googletest"
cmake -S /usr/src/googletest -B "$out/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$out/googletest-aarch64" \
  -DBUILD_GMOCK=OFF >/dev/null
cmake --build "$out/googletest"
cmake --install "$out/googletest" >/dev/null

echo "== the core and its tests for aarch64"
cmake -S . -B "$out/aarch64" "${common[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTARVELIN_CROSS_PREFIX="$out/googletest-aarch64" >/dev/null
cmake --build "$out/aarch64" --target core_tests
# The ELF header's machine field: 183 is aarch64.
machine=$(od -An -j18 -N2 -tu2 "$out/aarch64/tests/core/core_corpus" | tr -d ' ')
if [ "$machine" != 183 ]; then
  echo "the aarch64 build made programs for machine $machine, not aarch64 (183)" >&2
  exit 1
fi

echo "== the core's tests on aarch64, under qemu"
ctest --test-dir "$out/aarch64" -L core --output-on-failure

echo "== the x86-64 builds: x87 long double and the software type"
cmake -S . -B "$out/x86-64" "${common[@]}" -DTARVELIN_SOFT_EXTENDED=OFF >/dev/null
cmake --build "$out/x86-64" --target core_corpus
cmake -S . -B "$out/x86-64-soft" "${common[@]}" -DTARVELIN_SOFT_EXTENDED=ON >/dev/null
cmake --build "$out/x86-64-soft" --target core_corpus

echo "== the corpus on the three builds"
"$out/x86-64/tests/core/core_corpus" >"$out/corpus-x86-64.txt"
"$out/x86-64-soft/tests/core/core_corpus" >"$out/corpus-x86-64-soft.txt"
qemu-aarch64 -L /usr/aarch64-linux-gnu "$out/aarch64/tests/core/core_corpus" \
  >"$out/corpus-aarch64.txt"

status=0
for other in x86-64-soft aarch64; do
  if cmp -s "$out/corpus-x86-64.txt" "$out/corpus-$other.txt"; then
    echo "$other: identical to x86-64 ($(wc -l <"$out/corpus-$other.txt") lines)"
  else
    echo "$other: DIFFERS from x86-64; first differences:" >&2
    diff "$out/corpus-x86-64.txt" "$out/corpus-$other.txt" | head -20 >&2 || true
    status=1
  fi
done
exit $status
