#!/usr/bin/env bash
# The project's two set-up commands:
#   ./build.sh demo   build, then run the demo on sandbox instances it makes itself: the
#                     pre-install check's every status, then the whole life of an add-on
#   ./build.sh test   build and run every test: a normal build, a sanitizer build, and fuzz runs
# Both install what is missing (Debian packages, the "admin" group) first; run them as root.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)

# The tests lay a private tmpfs over /tmp (and other fixed system folders) while the programs
# run; a tree below /tmp would vanish under it. Such a checkout builds from a copy elsewhere.
case "$ROOT/" in
  /tmp/*)
    copy=/var/tmp/rcp-installer-$(printf '%s' "$ROOT" | md5sum | cut -c1-12)
    echo "== $ROOT lies below /tmp, which the tests hide: building from a copy in $copy"
    mkdir -p "$copy"
    find "$copy" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
    tar -C "$ROOT" --exclude=./build -cf - . | tar -C "$copy" -xf -
    exec "$copy/build.sh" "$@"
    ;;
esac
JOBS=${JOBS:-$(nproc)}

PACKAGES=(
  cmake g++ make pkg-config libplist-dev libxml2-dev googletest libgtest-dev libgmock-dev
  libbenchmark-dev python3 default-jdk-headless openjdk-17-jdk-headless libxml2-utils
  clang libclang-rt-14-dev passwd util-linux procps
  acl  # setfacl: the attack tests give users rights through ACLs
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64
  shared-mime-info xkb-data  # system XML documents for the manifest corpus test
  dpkg-dev file lintian man-db  # the Debian package: CPack's generator, the package test
)

install_dependencies() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  getent group admin >/dev/null || groupadd admin
}

configure_and_build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

run_tests() {
  echo "== normal build"
  # The demo may have configured this folder without the Windows library: the tests want it.
  configure_and_build build/release -DRCP_WINDOWS=ON
  ctest --test-dir build/release --output-on-failure -j "$JOBS"

  echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
  configure_and_build build/sanitize -DRCP_SANITIZE=ON -DRCP_WINDOWS=OFF -DRCP_BENCH=OFF
  # A JVM cannot load sanitizer-instrumented JNI libraries without preloading the runtime;
  # the Java and Wine checks run in the normal build.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j "$JOBS" -LE 'jvm|wine'

  echo "== fuzz targets (clang, libFuzzer)"
  configure_and_build build/fuzz -DRCP_FUZZ=ON -DRCP_WINDOWS=OFF -DRCP_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  ctest --test-dir build/fuzz --output-on-failure -L fuzz
}

run_demo() {
  configure_and_build build/release -DRCP_WINDOWS=OFF
  "$ROOT/tools/demo.sh" "$ROOT/build/release"
  "$ROOT/tools/demo-lifecycle.sh" "$ROOT/build/release"
}

case "${1:-}" in
  demo) install_dependencies; run_demo ;;
  test) install_dependencies; run_tests ;;
  *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
