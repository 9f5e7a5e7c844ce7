#!/usr/bin/env bash
# The KML of the example flight as real readers see it: xmllint finds it well-formed, and GDAL's LIBKML
# driver reads one LINESTRING Z of two points per Placemark, starting and ending where the document does.
# (GDAL's older KML driver is skipped on purpose: it misreads the blank after each comma of a tuple.)
#
# usage: kml_readers_test.sh TELEM2KML EXAMPLE_LOG
set -u
bin=$1 log=$2
for tool in xmllint ogr2ogr; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed (Debian: libxml2-utils, gdal-bin)"; exit 77; }
done
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
"$bin" -t "$log" -o "$scratch/flight.kml" >/dev/null || { echo "FAIL: conversion"; exit 1; }

xmllint --noout "$scratch/flight.kml" || { echo "FAIL: xmllint rejects the KML"; exit 1; }

ogr2ogr --config GDAL_SKIP KML -f CSV "$scratch/flight.csv" "$scratch/flight.kml" -lco GEOMETRY=AS_WKT \
  2>"$scratch/gdal.err" || { echo "FAIL: ogr2ogr"; cat "$scratch/gdal.err"; exit 1; }
if ! grep -q '^"LINESTRING' "$scratch/flight.csv"; then
  echo "SKIP: this GDAL has no LIBKML driver"; exit 77
fi

# The coordinate lines of the KML, "lon, lat, alt": the first of the first Placemark, the last of the last.
tr -d '\r' <"$scratch/flight.kml" | grep -E '^-?[0-9]+\.[0-9]{6}, ' >"$scratch/points"
placemarks=$(grep -c '<Placemark>' "$scratch/flight.kml")
awk -v placemarks="$placemarks" -v first="$(head -n 1 "$scratch/points")" -v last="$(tail -n 1 "$scratch/points")" '
  function same(wkt, kml,   a, b, i) {  # "x y z" against "x, y, z"
    split(wkt, a, " "); split(kml, b, ", ")
    for (i = 1; i <= 3; i++) if (a[i] - b[i] > 1e-9 || b[i] - a[i] > 1e-9) return 0
    return 1
  }
  NR == 1 { next }
  {
    if ($0 !~ /^"LINESTRING Z \([^,]+,[^,]+\)"/) { print "FAIL: row " NR ": " $0; bad = 1; next }
    points = $0
    sub(/^"LINESTRING Z \(/, "", points)
    sub(/\)".*$/, "", points)
    split(points, point, ",")
    if (++rows == 1) from = point[1]
    to = point[2]
  }
  END {
    if (rows != placemarks) { print "FAIL: " rows " linestrings for " placemarks " Placemarks"; bad = 1 }
    if (!same(from, first)) { print "FAIL: first point " from ", KML " first; bad = 1 }
    if (!same(to, last)) { print "FAIL: last point " to ", KML " last; bad = 1 }
    if (!bad) print "ok: " rows " two-point LINESTRING Z from " from " to " to
    exit bad
  }' "$scratch/flight.csv"
