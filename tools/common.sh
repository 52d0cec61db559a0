# Shared by the build-and-run and test scripts: packages, builds and the private Wine prefix.
# Meant to be sourced from the project root.

QVX_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
    wine wine64
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

build_windows_64() { configure_and_build build/win64 --toolchain cmake/mingw-x86_64.cmake; }
build_windows_32() { configure_and_build build/win32 --toolchain cmake/mingw-i686.cmake -DQVX_TESTS=OFF; }

# The test build runs under 64-bit Wine in a prefix of its own; the server is kept alive between
# programs (each start is then fast) and ended by wine_stop.
wine_start()
{
    export WINEPREFIX="$PWD/build/win64/wineprefix" WINEARCH=win64
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    (/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 &)
    # Starts the prefix's own services now, with their output away from the test runner's pipes.
    timeout 120 tools/wine-run cmd /c exit >/dev/null 2>&1 || true
}

wine_stop() { [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true; }
