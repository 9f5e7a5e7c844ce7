#!/bin/sh
# Runs a Windows program under wine, for ctest: CMAKE_CROSSCOMPILING_EMULATOR of mingw-w64-x86_64.cmake.
#
# A wineserver, and wine's own services, started by a program run here would inherit its standard output
# and error, and ctest would wait for them to close: 3 s at least after each run, or until the services
# end. So they are started first, detached from every stream, and the server is kept for a minute after
# the last program. wine's notes ("fixme:...") are silenced: the tests compare the program's messages.
export WINEDEBUG="${WINEDEBUG--all}"
# wine reads the arguments and the file names of the Unix side in the locale's character set: UTF-8, the
# bytes the tests hold, as a Windows shell would hand over any name.
export LC_ALL=C.UTF-8
(
  flock 9
  # Exits 0 when it started a server, 2 when one is already running.
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"${WINEPREFIX:-$HOME/.wine}.wine-run.lock"
exec wine "$@"
