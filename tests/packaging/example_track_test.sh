#!/usr/bin/env bash
# examples/flight-track.svg must be what docs/draw_track.py draws from the KML that telem2kml writes for
# examples/flight.log today. If this fails after a deliberate change, redraw the picture as docs/BUILDING.md says.
#
# usage: example_track_test.sh TELEM2KML SOURCE_DIR      (exit status 77 tells ctest the check was skipped)
set -u
bin=$1 source=$2
if ! command -v python3 >/dev/null 2>&1; then
  echo "SKIP: python3 is not installed, so examples/flight-track.svg was not checked"
  exit 77
fi
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
"$bin" -t "$source/examples/flight.log" -o "$scratch/flight.kml" >/dev/null || { echo "FAIL: telem2kml"; exit 1; }
python3 "$source/docs/draw_track.py" "$scratch/flight.kml" "$scratch/flight-track.svg" \
  --title "examples/flight.log" || { echo "FAIL: docs/draw_track.py"; exit 1; }
if ! cmp "$scratch/flight-track.svg" "$source/examples/flight-track.svg"; then
  echo "FAIL: examples/flight-track.svg is not the picture of today's KML; redraw it:"
  echo "  build/telem2kml -t examples/flight.log -o flight.kml"
  echo "  python3 docs/draw_track.py flight.kml examples/flight-track.svg --title examples/flight.log"
  exit 1
fi
echo "ok: examples/flight-track.svg is drawn from today's KML of examples/flight.log"
