#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a cross-built Windows program
# under wine in the prefix PREFIX, quietly.
# wine-run.sh PREFIX --start / --stop: makes the prefix on first use and
# starts one wineserver that every run shares, so that each start stays
# cheap; stops it again.
export LC_ALL=C.UTF-8 WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
case "$1" in
  --start) [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
           wineserver -p 600 </dev/null >/dev/null 2>&1
           # Services it starts keep the standard streams they were given: none.
           wine cmd /c exit 0 </dev/null >/dev/null 2>&1 ;;
  --stop) wineserver -k 2>/dev/null; exit 0 ;;
  *) exec wine "$@" ;;
esac
