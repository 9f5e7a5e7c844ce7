#!/usr/bin/env bash
# The README's recipe "From the KML to a GPS", run as the README has it on the KML of examples/flight.log:
# the GPX must hold one track of the first segment's start and every segment's end, in order, and be
# well-formed; where GDAL is found, its lines must read the GPX back and write the one-line KML.
#
# usage: gpx_recipe_test.sh TELEM2KML SOURCE_DIR      (exit status 77 tells ctest the check was skipped)
set -u
bin=$1 source=$2
if ! command -v python3 >/dev/null; then
  echo "SKIP: python3 is not installed, so the GPX recipe was not run"
  exit 77
fi
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
recipe_block() {  # the Nth sh block of the README's section
  awk -v want="$1" '/^### From the KML to a GPS$/ { in_section = 1; next } in_section && /^##/ { exit }
    in_section && /^```sh$/ { in_block = (++blocks == want); next }
    in_block && /^```$/ { in_block = 0; next } in_block' "$source/README.md"
}
recipe_block 1 >"$scratch/gpx.sh" && recipe_block 2 >"$scratch/gdal.sh"
[ -s "$scratch/gpx.sh" ] && [ -s "$scratch/gdal.sh" ] || { echo "FAIL: README.md lost the recipe"; exit 1; }

"$bin" -t "$source/examples/flight.log" -o "$scratch/flight.kml" >/dev/null || { echo "FAIL: conversion"; exit 1; }
(cd "$scratch" && bash -e gpx.sh) || { echo "FAIL: the recipe's Python lines"; exit 1; }
if command -v xmllint >/dev/null; then
  xmllint --noout "$scratch/flight.gpx" || { echo "FAIL: xmllint rejects the GPX"; exit 1; }
fi
# "lon, lat, alt" lines of the KML, two per Placemark: the first line, then every second one.
expected=$(tr -d '\r' <"$scratch/flight.kml" | grep -E '^-?[0-9]+\.[0-9]{6}, ' | awk 'NR == 1 || NR % 2 == 0')
actual=$(python3 -c '
import sys, xml.etree.ElementTree as ET
g = "{http://www.topografix.com/GPX/1/1}"
tracks = ET.parse(sys.argv[1]).getroot().findall(g + "trk")
if len(tracks) != 1 or len(tracks[0].findall(g + "trkseg")) != 1: sys.exit("not one track of one segment")
for p in tracks[0].iter(g + "trkpt"): print(p.get("lon"), p.get("lat"), p.find(g + "ele").text, sep=", ")
' "$scratch/flight.gpx") || { echo "FAIL: the GPX is not one track: $actual"; exit 1; }
count=$(printf '%s\n' "$expected" | wc -l)
if [ "$actual" != "$expected" ]; then
  echo "FAIL: the GPX track is not the first segment's start and every segment's end ($count points):"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") | head
  exit 1
fi

if ! command -v ogr2ogr >/dev/null || ! command -v ogrinfo >/dev/null; then
  echo "ok: the GPX is one track of $count points (no GDAL here: its lines were not run)"
  exit 0
fi
if ! (cd "$scratch" && bash -e -o pipefail gdal.sh) >"$scratch/gdal.out" 2>&1 ||
  ! grep -qx "Feature Count: $count" "$scratch/gdal.out"; then
  echo "FAIL: the recipe's GDAL lines, or ogrinfo does not count $count points:"
  cat "$scratch/gdal.out"
  exit 1
fi
kml=$scratch/flight-track.kml
points=$(tr -s ' \n' '\n' <"$kml" | grep -cE '^-?[0-9.]+,-?[0-9.]+,-?[0-9.]+$')
lines=$(grep -o '<LineString>' "$kml" | wc -l)
if [ "$points/$lines" != "$count/1" ] || ! grep -q '<altitudeMode>absolute<' "$kml"; then
  echo "FAIL: the KML holds $points points in $lines LineStrings, not one of $count with absolute altitudes"
  exit 1
fi
echo "ok: the GPX is one track of $count points; GDAL reads it and writes it as one KML line"
