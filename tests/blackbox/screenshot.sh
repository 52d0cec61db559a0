#!/usr/bin/env bash
# A picture of the main window, with a Chinese file name in its path box, for a person to look at.
# Usage: screenshot.sh WINE_RUN... QVX.exe PICTURE.png   (needs DISPLAY and WINEPREFIX)
# WINE_RUN is the command, with its arguments, that runs a Windows program (tools/wine-run ARCH).
# The picture counts as taken when the screen holds many colours: text, banner and controls.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: screenshot.sh WINE_RUN... QVX.exe PICTURE.png" >&2; exit 2; }
wine_run=("${@:1:$#-2}")
program=${@: -2:1}
picture=${@: -1}
: "${DISPLAY:?no display to take the picture from}"
: "${WINEPREFIX:?no Wine prefix}"

work=$(mktemp -d)
pid=
finish()
{
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap finish EXIT

# With no window manager on the display, Wine draws the caption itself only for unmanaged windows.
"${wine_run[@]}" reg add 'HKCU\Software\Wine\AppDefaults\QVX.exe\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

file="$work/示例 文件.txt"
echo "sample" >"$file"
"${wine_run[@]}" "$program" "Z:$(tr / '\\' <<<"$file")" >/dev/null 2>&1 &
pid=$!

colours=0
for _ in $(seq 60); do
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window was seen"; exit 1; }
    xwd -root -silent | convert xwd:- png:"$work/shot.png"
    colours=$(convert "$work/shot.png" -format %k info:)
    [ "$colours" -gt 64 ] && break
done
[ "$colours" -gt 64 ] || { echo "the screen stayed plain ($colours colours)"; exit 1; }
sleep 1   # let every control finish painting
xwd -root -silent | convert xwd:- png:"$work/shot.png"
convert "$work/shot.png" -trim +repage "$picture"
colours=$(convert "$picture" -format %k info:)
size=$(convert "$picture" -format '%wx%h' info:)
echo "main window picture: $picture, $size, $colours colours"
[ "$colours" -gt 64 ]
