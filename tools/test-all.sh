#!/usr/bin/env bash
# Builds Veskera from scratch and runs every test: the g++ build with warnings as errors (its
# command-line tests once more under valgrind), the whole
# suite again under clang with AddressSanitizer and UndefinedBehaviorSanitizer, both Windows DLLs
# (the 32-bit one's export table checked), and the 64-bit DLL driven inside a real Windows process
# under Wine. Run as root on a fresh Debian 12 machine, it first installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# ---- packages ----
packages=(cmake make g++ clang pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libgmime-3.0-dev libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine wine64 valgrind)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "== installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "missing Debian packages (run as root to install them): ${missing[*]}" >&2
    exit 2
  fi
fi

step() { printf '\n== %s\n' "$*"; }

# ---- native: g++, warnings as errors ----
step "g++ debug build and tests"
rm -rf build/debug
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$jobs"
ctest --preset debug -j"$jobs"

step "the command-line tests under valgrind memcheck"
bash tests/cli/valgrind-cli.sh build/debug

# ---- native: clang with ASan and UBSan, the whole suite once more ----
step "clang ASan+UBSan build and tests"
rm -rf build/asan
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --preset asan -j"$jobs"

# ---- Windows: both DLLs ----
step "Windows i686 DLL (the host's own width)"
rm -rf build/mingw-i686
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j"$jobs"
bash tests/plugin/check_exports.sh build/mingw-i686/plugin/Veskera.dll

step "Windows x86_64 DLL and its end-to-end tests under Wine"
rm -rf build/mingw-x86_64
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j"$jobs"
bash tests/wine/run-wine-tests.sh "$top/build/mingw-x86_64"

step "all tests passed"
