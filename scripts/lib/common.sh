# Sourced by the scripts: paths, the setup check, and which Windows widths
# this machine can run under Wine.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${BUILD:-$ROOT/build}

ensure_platform() {
    local tool
    for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix cmake ninja \
                xvfb-run clang++ /usr/lib/wine/wine64 /usr/lib/wine/wine; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            bash "$ROOT/scripts/setup"
            return
        fi
    done
}

# Some virtual machines cannot execute 32-bit x86 code at all (the kernel
# refuses i386 binaries), and then the 32-bit Wine loader cannot start.
can_run_arch() {
    case "$1" in
        i686) /usr/lib/wine/wine --version >/dev/null 2>&1 ;;
        x86_64) /usr/lib/wine/wine64 --version >/dev/null 2>&1 ;;
        *) return 1 ;;
    esac
}

configure_windows_build() {
    local arch=$1
    cmake -S "$ROOT" -B "$BUILD/$arch" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch-w64-mingw32.cmake" >"$BUILD/$arch.configure.log" 2>&1 \
        || { cat "$BUILD/$arch.configure.log"; return 1; }
    cmake --build "$BUILD/$arch"
}

# Runs "$@" with a fresh Wine prefix of the build's width inside one Xvfb
# display, and stops that prefix's server afterwards.
with_wine_prefix() {
    local arch=$1; shift
    export WINEDEBUG=-all
    export WINEPREFIX="$BUILD/$arch/wineprefix"
    if [ "$arch" = i686 ]; then
        export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
    else
        export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
    fi
    # A home of its own: ALSA's null device gives winmm one wave device each way.
    export HOME="$BUILD/$arch/winehome"
    mkdir -p "$HOME"
    printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' > "$HOME/.asoundrc"
    "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        set -u
        timeout 180 "$WINELOADER" wineboot -i >"$WINEPREFIX.boot.log" 2>&1
        # Keep one server for the whole run, so that no test process starts
        # (and holds the output pipe of) a server of its own.
        "$WINESERVER" -p
        "$@"
        rc=$?
        "$WINESERVER" -k >/dev/null 2>&1
        exit $rc' wine-run "$@"
}
