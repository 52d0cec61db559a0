#!/bin/sh
# Steps a Windows test cannot take under Wine, run as a Linux program that the test starts through
# Wine. Wine gives the test no handle to such a process, so its exit status goes to a file.
#   outside_wine.sh STATUS_FILE small-disk mount DIR SIZE    (a tmpfs of SIZE at DIR; needs root)
#   outside_wine.sh STATUS_FILE small-disk fill DIR           (a file DIR/filler takes all room left)
#   outside_wine.sh STATUS_FILE small-disk umount DIR
#   outside_wine.sh STATUS_FILE cut FILE                      (FILE cut to length 0)
#   outside_wine.sh STATUS_FILE limit-memory PREFIX MIB       (QVX.exe of the Wine prefix PREFIX may
#                                                              take MIB more MiB of data memory)
# Status 77: not root, so no small disk here.
status_file=$1
shift

run()
{
    case "$1 $2" in
    "small-disk mount")
        [ "$(id -u)" = 0 ] || return 77
        mkdir -p "$3" && mount -t tmpfs -o size="$4" qvx-small-disk "$3" ;;
    "small-disk fill")
        dd if=/dev/zero of="$3/filler" bs=1M 2>/dev/null
        [ -e "$3/filler" ] ;;
    "small-disk umount")
        umount "$3" && rmdir "$3" ;;
    "cut "*)
        truncate -s 0 "$2" ;;
    "limit-memory "*)
        for pid in $(pgrep -f 'QVX[.]exe'); do
            tr '\0' '\n' <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$2" || continue
            data=$(awk '/^VmData:/ { print $2 }' "/proc/$pid/status")
            prlimit --pid "$pid" --data=$(((data << 10) + ($3 << 20))) && return 0
        done
        return 1 ;;
    *)
        return 2 ;;
    esac
}

run "$@"
echo $? >"$status_file.part"
mv "$status_file.part" "$status_file"
