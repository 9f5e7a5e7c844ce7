#!/bin/sh
# An -o /dev/stderr whose file already holds bytes gets the KML from its first byte, as on Linux: the shell
# opened the file for appending, or getopt's complaint went there first. The program's copy of standard
# error's handle shares the file position, which a cut file would leave behind, with as many NUL bytes
# before the KML. Run through cmd, whose redirections give the handles a program gets on Windows.
#
# usage: kml_into_standard_error_file.sh RUN_WINDOWS_PROGRAM TELEM2KML_EXE LOG EXPECTED_KML
#   RUN_WINDOWS_PROGRAM: what starts a Windows program here (cmake/wine-run.sh)
set -eu
run=$1 exe=$2 log=$3 expected=$4
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
cp "$exe" "$scratch/telem2kml.exe" && cp "$log" "$scratch/flight.log" && cd "$scratch"
failed=0
expect_kml_alone() {
  if cmp -s e.txt "$expected"; then echo "ok $1"; else echo "FAIL $1: e.txt does not hold the KML alone" && failed=1; fi
}
printf 'older bytes of another run\r\n' >e.txt
"$run" cmd /c "telem2kml.exe -t flight.log -o /dev/stderr 2>>e.txt" >/dev/null
expect_kml_alone "standard error appending to a file that holds bytes"
"$run" cmd /c "telem2kml.exe -x -t flight.log -o /dev/stderr 2>e.txt" >/dev/null
expect_kml_alone "getopt's complaint written before the KML"
exit $failed
