#!/usr/bin/env bash
# Installs the build into a temporary prefix and converts the installed example flight with the installed
# program: the KML must be the one the golden case expects, byte for byte. The guide, the changelog and the
# licence go beside the examples, in share/doc/telem2kml/.
#
# usage: install_test.sh BUILD_DIR SOURCE_DIR [CONFIG]
set -u
build=$1 source=$2 config=${3:-}
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

if ! cmake --install "$build" --prefix "$prefix" ${config:+--config "$config"} >"$scratch/install.log" 2>&1; then
  echo "FAIL: cmake --install $build --prefix $prefix"
  cat "$scratch/install.log"
  exit 1
fi
failed=0
for file in bin/telem2kml share/man/man1/telem2kml.1 share/doc/telem2kml/README.md share/doc/telem2kml/CHANGELOG.md \
  share/doc/telem2kml/LICENSE share/doc/telem2kml/examples/README.md share/doc/telem2kml/examples/flight.log \
  share/doc/telem2kml/examples/decimal-comma.log share/doc/telem2kml/examples/two-flights.log \
  share/doc/telem2kml/examples/flight-track.svg; do
  if [ ! -f "$prefix/$file" ]; then
    echo "FAIL: $file was not installed"
    failed=1
  fi
done
[ -x "$prefix/bin/telem2kml" ] || { echo "FAIL: bin/telem2kml is not executable"; exit 1; }
if grep -nE '(^|[^[:alnum:]_-])(build|tests)/' "$prefix/share/doc/telem2kml/examples/README.md"; then
  echo "FAIL: the installed examples README names folders of the source tree"
  failed=1
fi

mkdir "$scratch/run"
(cd "$scratch/run" && "$prefix/bin/telem2kml" -t "$prefix/share/doc/telem2kml/examples/flight.log" -o flight.kml) \
  >"$scratch/stdout" 2>"$scratch/stderr"
status=$?
if [ $status -ne 0 ] || [ -s "$scratch/stderr" ]; then
  echo "FAIL: the installed telem2kml exited with status $status"
  cat "$scratch/stdout" "$scratch/stderr"
  failed=1
fi
if ! cmp "$scratch/run/flight.kml" "$source/tests/golden/example_flight/expect/flight.kml"; then
  echo "FAIL: the installed program's KML differs from tests/golden/example_flight/expect/flight.kml"
  failed=1
fi
[ $failed = 0 ] && echo "ok: installed into $prefix and converted the installed example flight"
exit $failed
