#!/usr/bin/env bash
# The shipped programs import only DLLs that Windows always takes from the
# system folder; the loader resolves imports before the program's first line,
# from the program's own folder first for any other DLL, so a DLL planted
# beside a portable copy would run. Names each import that is not allowed.
#
#   imports.sh OBJDUMP EXE...
#
# Allowed: the KnownDLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs) that every Windows from 7 to 11 has; combase, shcore and
# gdiplus are known only from Windows 8 or 10, lpk, usp10, urlmon and wininet
# only up to 7. Plus comctl32 where the program's manifest asks for Common
# Controls 6: the loader then takes it from the system's side-by-side store
# (and ignores .local redirection). No api-ms-win-* set: on Windows 7 and 8.1
# the runtime's (api-ms-win-crt-*) are files searched like any DLL, the
# program's folder first; the msvcrt build imports none.
set -euo pipefail
objdump=$1
shift
known=" $(echo advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 msctf msvcrt \
    normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32 wldap32 ws2_32) "
status=0
for exe in "$@"; do
    name=${exe##*/}
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: *//p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "$name: no import table read"; status=1; }
    for dll in $dlls; do
        base=${dll%.dll}
        if [ "$base" = comctl32 ] && grep -q -a 'Microsoft.Windows.Common-Controls' "$exe"; then
            continue
        fi
        case $known in
            *" $base "*) ;;
            *) echo "$name imports $dll, which Windows may load from the program's folder"
               status=1 ;;
        esac
    done
done
[ $status -ne 0 ] || echo "$* import only system DLLs"
exit $status
