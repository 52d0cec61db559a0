# Shared by the build-and-run and test scripts: packages, builds and the private Wine prefix.
# Meant to be sourced from the project root.

# What every script needs; 32-bit Wine where the kernel runs it (or the guest borrows it); the
# emulated guest where the kernel does not.
QVX_BASE_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-i686-dev mingw-w64-x86-64-dev
    wine wine64 xvfb xauth x11-apps imagemagick fonts-wqy-microhei fonts-wine locales-all
    libcli11-dev openssl
)
QVX_WINE32_PACKAGES=(wine32:i386)
QVX_GUEST_PACKAGES=(qemu-system-x86 busybox-static)
QVX_PACKAGES=("${QVX_BASE_PACKAGES[@]}" "${QVX_WINE32_PACKAGES[@]}" "${QVX_GUEST_PACKAGES[@]}")
# What tools/release needs beyond the builds: the Debian package tools and zip.
QVX_RELEASE_PACKAGES=(cmake ninja-build g++ g++-mingw-w64-i686 mingw-w64-i686-dev libcli11-dev dpkg-dev zip)

# kernel_runs_32bit: whether this machine's kernel runs 32-bit x86 programs, and so 32-bit Wine.
# Kernels differ between machines, so it is asked every time: a static 32-bit program of 96 bytes,
# written here byte by byte (no compiler needed), that only exits with status 42.
# QVX_FORCE_GUEST=1 answers no, to try the other path on a machine that says yes.
kernel_runs_32bit()
{
    [ "${QVX_FORCE_GUEST:-0}" = 1 ] && return 1
    local dir status
    dir=$(mktemp -d) || return 1
    # ELF header, one loadable segment at 0x08048000, then: mov ebx,42; mov eax,1 (exit); int 0x80.
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'\
'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00'\
'\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'\
'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'\
'\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$dir/exit42"
    chmod +x "$dir/exit42"
    timeout 10 "$dir/exit42" >/dev/null 2>&1
    status=$?
    rm -rf "$dir"
    [ "$status" -eq 42 ]
}

# port_free PORT: nothing listens on 127.0.0.1:PORT (bound as the tests' servers bind it).
port_free()
{
    python3 -c 'import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(1)' "$1" 2>/dev/null
}

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
    # A mirror caught mid-sync fails one list; the others still name what is needed.
    apt-get update -qq || echo "ensure_packages: not every package list could be refreshed; going on with those there are"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_tree DIR [cmake options...]; build_tree DIR [targets...]; configure_and_build does both.
configure_tree()
{
    local dir=$1
    shift
    mkdir -p "$(dirname "$dir")"
    cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
}
build_tree()
{
    local dir=$1 targets=()
    shift
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$dir" "${targets[@]}" -- -j"$(nproc)"
}
configure_and_build() { configure_tree "$@" && build_tree "$1"; }

# The test builds ask servers that their tests start on this machine; the shipped build keeps the
# maker's address, and its About tests run a twin that asks a test server.
QVX_TEST_SERVER=127.0.0.1:18321
QVX_TWIN_SERVER=127.0.0.1:18322
# The labels of the Windows tests that depend on the processor kind: the unit and native-layer
# tests, the x86 crash guard and the main black-box paths. Where one build runs the whole suite,
# the other runs these.
QVX_KIND_LABELS='unit|native|crash|blackbox-main'
configure_windows_64() { configure_tree build/win64 --toolchain cmake/mingw-x86_64.cmake -DQVX_SERVER=$QVX_TEST_SERVER; }
configure_windows_32()
{
    configure_tree build/win32 --toolchain cmake/mingw-i686.cmake -DQVX_TESTS=ON -DQVX_TWIN_SERVER=$QVX_TWIN_SERVER
}
build_windows_64() { configure_windows_64 && build_tree build/win64; }
build_windows_32() { configure_windows_32 && build_tree build/win32; }

# wine_start [32|64 [PREFIX]]: Wine of that kind (64) in a prefix of its own (the test build's),
# exported as WINEPREFIX. Its server is kept alive between programs (each start is then fast)
# and ended by wine_stop. Making a new prefix takes about 10 s here, a minute in the guest.
wine_start()
{
    local arch=${1:-64}
    export WINEPREFIX="${2:-$PWD/build/win$arch/wineprefix}" WINEARCH=win$arch
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The server refuses a prefix folder that does not exist yet; without it every program would
    # start (and end) a server and the prefix's services of its own.
    mkdir -p "$WINEPREFIX"
    (/usr/lib/wine/wineserver64 -p >/dev/null 2>&1 9>&- &)
    # Starts the prefix's own services now, with their output away from the test runner's pipes.
    timeout 600 tools/wine-run "$arch" cmd /c exit >/dev/null 2>&1 9>&- || true
    # The dialogs ask for a font Wine does not have; show Chinese text with one that Debian ships.
    timeout 120 tools/wine-run "$arch" regedit /S "$(winepath_of tools/wine-fonts.reg)" >/dev/null 2>&1 9>&- || true
    # Debian's Wine never finds its own fonts (the folder it asks for is "…\wine\../fonts"), so the
    # caption buttons, drawn with Marlett, show as the letters "0 1 r"; the prefix's own font folder
    # is always searched.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
}

winepath_of() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# A virtual display of our own for the windows under test, exported as DISPLAY; display_stop ends
# it by its pid (QVX_XVFB_PID). Another display may take a free number at the same moment: then the
# next one is tried. Descriptor 9 (the scripts' lock) is not handed on to the display or to Wine.
display_start()
{
    local n
    for n in $(seq 91 130); do
        { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
        QVX_XVFB_PID=$!
        for _ in $(seq 50); do
            kill -0 "$QVX_XVFB_PID" 2>/dev/null || break
            if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; return 0; fi
            sleep 0.1
        done
        kill "$QVX_XVFB_PID" 2>/dev/null
    done
    QVX_XVFB_PID=
    echo "no virtual display would start" >&2
    return 1
}

display_stop() { [ -n "${QVX_XVFB_PID:-}" ] && kill "$QVX_XVFB_PID" 2>/dev/null; QVX_XVFB_PID=; }

# wine_stop [PREFIX]: ends every Wine program of that prefix (WINEPREFIX) and its server.
wine_stop()
{
    local prefix=${1:-${WINEPREFIX:-}}
    [ -n "$prefix" ] && WINEPREFIX=$prefix timeout 30 /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
}
