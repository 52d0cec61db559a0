# Shared by the build-and-run and test scripts: packages, builds and the private Wine prefix.
# Meant to be sourced from the project root.

QVX_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
    wine wine64 xvfb xauth x11-apps imagemagick fonts-wqy-microhei locales-all
    qemu-system-x86 busybox-static wine32:i386 libcli11-dev openssl
)

# Installs whichever of the given Debian packages are missing.
ensure_packages()
{
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Packages of another architecture (32-bit Wine) come only once it is enabled.
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_and_build DIR [cmake options...]
configure_and_build()
{
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" -- -j"$(nproc)"
}

# The test build asks a server that its tests start on this machine; the shipped build keeps the
# maker's address.
QVX_TEST_SERVER=127.0.0.1:18321
build_windows_64() { configure_and_build build/win64 --toolchain cmake/mingw-x86_64.cmake -DQVX_SERVER=$QVX_TEST_SERVER; }
build_windows_32() { configure_and_build build/win32 --toolchain cmake/mingw-i686.cmake -DQVX_TESTS=ON; }

# The test build runs under 64-bit Wine in a prefix of its own; the server is kept alive between
# programs (each start is then fast) and ended by wine_stop.
wine_start()
{
    export WINEPREFIX="${1:-$PWD/build/win64/wineprefix}" WINEARCH=win64
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The server refuses a prefix folder that does not exist yet; without it every program would
    # start (and end) a server and the prefix's services of its own.
    mkdir -p "$WINEPREFIX"
    (/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 &)
    # Starts the prefix's own services now, with their output away from the test runner's pipes.
    timeout 120 tools/wine-run cmd /c exit >/dev/null 2>&1 || true
    # The dialogs ask for a font Wine does not have; show Chinese text with one that Debian ships.
    timeout 60 tools/wine-run regedit /S "$(winepath_of tools/wine-fonts.reg)" >/dev/null 2>&1 || true
}

# The 32-bit test build runs under 32-bit Wine inside the test guest (tools/vm/ctest32), in a prefix
# in the guest's memory. A win32 prefix: a 64-bit one takes several times longer to make there.
wine32_start()
{
    export WINEPREFIX=/tmp/qvx-wine32 WINEARCH=win32
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    (/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 &)
    # Making the prefix takes about a minute in the emulated guest.
    timeout 600 tools/wine-run32 cmd /c exit >/dev/null 2>&1 || true
    timeout 120 tools/wine-run32 regedit /S "$(winepath_of tools/wine-fonts.reg)" >/dev/null 2>&1 || true
}

winepath_of() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# A virtual display of our own for the windows under test; display_stop ends it by its pid.
display_start()
{
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QVX_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

display_stop() { [ -n "${QVX_XVFB_PID:-}" ] && kill "$QVX_XVFB_PID" 2>/dev/null; QVX_XVFB_PID=; }

wine_stop() { [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true; }
