# Shared set-up for the project's scripts: installs what is missing, prepares
# the project-local Wine prefix and a display. Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}            # the 32-bit program as it ships
HOST_BUILD_DIR=${HOST_BUILD_DIR:-$ROOT/build-host}
export WINEDEBUG=-all
# No Mono or Gecko installer prompts when the prefix is created.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# LC_ALL=zh_CN.UTF-8 (Wine code page 936) is exported once the locale exists.

say() { printf '== %s\n' "$*" >&2; }
die() { printf 'ERROR: %s\n' "$*" >&2; exit 1; }

# Packages the build and the tests need, checked by the files they provide.
ensure_packages() {
  local missing=()
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686-posix)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
  command -v i686-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-i686)
  command -v wine >/dev/null || missing+=(wine wine64)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  [ -x /usr/lib/wine/wine ] || missing+=(wine32:i386)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  command -v xwd >/dev/null || missing+=(x11-apps)
  [ -x /usr/bin/convert ] || missing+=(imagemagick)
  [ -e /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || missing+=(fonts-wqy-microhei)
  command -v cmake >/dev/null || missing+=(cmake)
  command -v g++ >/dev/null || missing+=(g++)
  command -v clang++ >/dev/null || missing+=(clang)
  [ -e /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ -e /usr/lib/x86_64-linux-gnu/libgtest.a ] || missing+=(libgtest-dev)
  compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null || missing+=(libclang-rt-14-dev)
  command -v gnuplot >/dev/null || missing+=(gnuplot-nox)
  command -v zip >/dev/null || missing+=(zip)
  command -v file >/dev/null || missing+=(file)
  [ -e /usr/share/i18n/locales/zh_CN ] && command -v locale-gen >/dev/null || missing+=(locales)
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing: ${missing[*]}"
    [ "$(id -u)" = 0 ] || die "need root to install ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    apt-get update -q >/dev/null || die "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null \
      || die "apt-get install ${missing[*]} failed"
  fi
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    say "generating the zh_CN.UTF-8 locale"
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null || die "locale-gen failed"
  fi
  export LC_ALL=zh_CN.UTF-8
}

# Configures and builds one Windows architecture (i686 or x86_64) into a
# folder: everything, or the targets named after the folder.
build_windows() {
  local arch=$1 dir=$2
  shift 2
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  say "building the Windows program and tests for $arch in $dir"
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-Release} \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-$arch.cmake" >/dev/null || die "cmake configure ($arch) failed"
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}" || die "Windows build ($arch) failed"
}

# Which build the tests run: the shipped 32-bit one where this kernel runs
# 32-bit code (Wine's 32-bit loader is a 32-bit Linux program); else the
# 64-bit build of the same sources under Wine's 64-bit loader.
choose_test_arch() {
  if timeout 20 /usr/lib/wine/wine --version >/dev/null 2>&1; then
    TEST_ARCH=i686 TEST_BUILD_DIR=$BUILD_DIR WINE=/usr/lib/wine/wine
    export WINEARCH=win32
  else
    say "this kernel cannot run 32-bit programs: the tests run the 64-bit build of the same sources"
    TEST_ARCH=x86_64 TEST_BUILD_DIR=$ROOT/build-x86_64 WINE=/usr/lib/wine/wine64
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
  fi
  export WINEPREFIX=${WINEPREFIX:-$ROOT/.wine-$TEST_ARCH}
}

# Configures and builds the native side (sanitized tests, fuzzer) into $HOST_BUILD_DIR.
build_host() {
  say "building the native tests in $HOST_BUILD_DIR"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$HOST_BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug >/dev/null \
    || die "cmake configure (native) failed"
  cmake --build "$HOST_BUILD_DIR" -j"$(nproc)" || die "native build failed"
}

# Display for the GUI: the caller's, or a private Xvfb started here and
# stopped when the script exits.
XVFB_PID=
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo_ok; then return; fi
  local n
  for n in $(seq 91 120); do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    kill -0 "$XVFB_PID" 2>/dev/null && { say "Xvfb on $DISPLAY"; return; }
  done
  die "could not start Xvfb"
}
xdpyinfo_ok() { [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; }

# The Wine prefix is created once; its services are started before any test
# reads a Wine process's output through a pipe, which would otherwise hang.
ensure_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "creating the Wine prefix $WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || die "wineboot failed"
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || true  # fails when the server already runs
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || die "wine does not start"
}

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
