#!/usr/bin/env bash
# Every recipe of the guides the release files ship, run as written in unpacked release folders. A recipe is
# a command of a sh or bat block (powershell too) of README.md and examples/README.md as the tarball holds
# them, or a line of README-Windows.txt indented by four blanks as the zip holds it (its CR dropped, as cmd
# drops it). Each must match a row below by its first line; the row says where it runs and what it must
# give. A recipe without a row fails, and so does a row without a recipe.
#
# Where: downloads (a folder holding the release files), tarball (the folder the tarball's recipe unpacks),
# work (~/telem2kml-examples, which the guide makes), examples (the tarball's examples folder): bash, with HOME
# a scratch folder, so that what installs under ~/.local installs there, and ~/.local/bin first on PATH; zip,
# zip-examples (the unpacked zip's folder and its examples): wine's cmd, the line in a batch file, where a
# for loop's %f is written %%f as cmd documents; skip: not run, for the reason given. The checks run in the
# same folder with the command's status in $status and its output in $out; the files a `same` check names
# are removed before the command runs, so that the command itself must make them.
#
# usage: recipes_test.sh SOURCE_DIR DIST_DIR      (packaging/check-release runs it)
set -u
source=$1 dist=$2
version=$(sed -n 's/^project(telem2kml VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$source/CMakeLists.txt")
tarball=telem2kml-$version-linux-x86_64
zip=telem2kml-$version-windows-x86_64
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT

rows=$(sed "s/VERSION/$version/g" <<'ROWS'
README.md downloads: status 0
  sha256sum -c --ignore-missing SHA256SUMS
README.md skip: installs into the system; packaging/check-release installs the package with apt-get
  sudo apt install ./telem2kml_VERSION_amd64.deb
README.md skip: needs the Debian package installed; the tarball's recipe below makes the same folder
  cp -r /usr/share/doc/telem2kml/examples ~/telem2kml-examples
README.md downloads: status 0 && [ -x telem2kml-VERSION-linux-x86_64/bin/telem2kml ]
  tar xzf telem2kml-VERSION-linux-x86_64.tar.gz
README.md downloads: status 0
  cd telem2kml-VERSION-linux-x86_64
README.md tarball: status 0 && [ "$(command -v telem2kml)" = "$HOME/.local/bin/telem2kml" ]
  install -D bin/telem2kml ~/.local/bin/telem2kml
README.md tarball: status 0 && [ "$(man -w telem2kml)" = "$HOME/.local/share/man/man1/telem2kml.1" ]
  install -D -m 644 share/man/man1/telem2kml.1 ~/.local/share/man/man1/telem2kml.1
README.md tarball: status 0 && [ -f ~/telem2kml-examples/flight.log ]
  cp -r share/doc/telem2kml/examples ~/telem2kml-examples
README.md downloads: status 0
  cd ~/telem2kml-examples
README.md work: status 0 && same flight.kml example_flight
  telem2kml -t flight.log -o flight.kml
README.md work: status 0 && [ -f flight.log.gz ]
  gzip -k flight.log
README.md work: status 0 && same flight.kml example_flight
  zcat flight.log.gz | telem2kml -t /dev/stdin -o flight.kml
README.md work: status 0 && prints 'flight 1: samples 1 to 600' && prints 'flight 2: samples 601 to 1200'
  awk -F';' 'NR > 1 { if (!($2 in first)) first[$2] = $1; last[$2] = $1 }
README.md work: status 0 && same second.kml example_two_flights_second_flight
  telem2kml -t two-flights.log -o second.kml -n 600-1201
README.md work: status 0 && same decimal-comma.kml example_decimal_comma
  telem2kml -r decimal-comma.log -o decimal-comma.kml
README.md work: status 0 && [ "$(grep -c ';' commas.log)" = 0 ]
  tr ';' ',' < flight.log > commas.log
README.md work: [ "$(cat "$out")" = commas.log ]
  grep -L ';' *.log
README.md work: status 0 && [ ! -s "$out" ] && same flight.kml example_flight && same decimal-comma.kml example_decimal_comma && segments two-flights.kml 1169 && cmp commas.kml flight.kml
  for log in *.log; do
README.md work: status 0 && prints 'flight.kml:886' && prints 'commas.kml:886' && prints 'decimal-comma.kml:489' && prints 'second.kml:583'
  grep -c '<Placemark>' *.kml
README.md skip: opens a graphical program
  xdg-open flight.kml
README.md work: needs ogr2ogr && status 0 && prints '"LINESTRING Z (37.618401 55.7512 156.3,37.618401 55.7512 156)"'
  ogr2ogr --config GDAL_SKIP KML -f CSV /vsistdout/ flight.kml -lco GEOMETRY=AS_WKT | head -3
README.md work: status 0 && [ "$(grep -c ', ' strict.kml)" = 0 ] && [ "$(grep -c '<Placemark>' strict.kml)" = 886 ]
  sed 's/, /,/g' flight.kml > strict.kml
README.md work: needs python3 && status 0 && [ "$(grep -c '<trkpt ' flight.gpx)" = 887 ]
  python3 - flight.kml > flight.gpx <<'EOF'
README.md work: needs ogrinfo && status 0 && prints 'Feature Count: 887'
  ogrinfo -ro -so flight.gpx track_points | grep 'Feature Count'    # Feature Count: 887
README.md work: needs ogr2ogr && status 0 && [ "$(grep -c '<LineString>' flight-track.kml)" = 1 ]
  ogr2ogr --config GPX_ELE_AS_25D YES -f LIBKML flight-track.kml flight.gpx -nln flight \
examples/README.md examples: status 0 && same flight.kml example_flight
  telem2kml -t flight.log -o flight.kml                       # 886 segments
examples/README.md examples: status 0 && same decimal-comma.kml example_decimal_comma
  telem2kml -r decimal-comma.log -o decimal-comma.kml         # 489 segments
examples/README.md examples: status 0 && same second.kml example_two_flights_second_flight
  telem2kml -t two-flights.log -o second.kml -n 600-1201      # 583 segments, flight 2 only
examples/README.md zip-examples: status 0 && same flight.kml example_flight
  ..\telem2kml -t flight.log -o flight.kml
examples/README.md zip-examples: status 0 && same decimal-comma.kml example_decimal_comma
  ..\telem2kml -r decimal-comma.log -o decimal-comma.kml
examples/README.md zip-examples: status 0 && same second.kml example_two_flights_second_flight
  ..\telem2kml -t two-flights.log -o second.kml -n 600-1201
README-Windows.txt zip: status 0 && same flight.kml example_flight
  .\telem2kml -t examples\flight.log -o flight.kml
README-Windows.txt zip: status 0 && same decimal-comma.kml example_decimal_comma
  .\telem2kml -r examples\decimal-comma.log -o decimal-comma.kml
README-Windows.txt zip: status 0 && same flight.kml example_flight
  type examples\flight.log | .\telem2kml -t /dev/stdin -o flight.kml
README-Windows.txt zip: status 0 && same flight.kml example_flight
  cmd /c "type examples\flight.log | telem2kml -t /dev/stdin -o flight.kml"
README-Windows.txt zip: status 0 && same examples/flight.kml example_flight && same examples/decimal-comma.kml example_decimal_comma && segments examples/two-flights.kml 1169
  for %f in (examples\*.log) do .\telem2kml -r "%f" -o "%~dpnf.kml"
README-Windows.txt skip: wine 8's find has no /c: checked by reading
  find /c ";" examples\*.log
README-Windows.txt skip: wine 8's find has no /c: checked by reading
  find /c "<Placemark>" examples\*.kml
README-Windows.txt skip: PowerShell does not run here: checked by reading
  Get-ChildItem examples\*.log | ForEach-Object { $kind = if (Select-String -Quiet ';' -LiteralPath $_.FullName) { '-r' } else { '-t' }; .\telem2kml $kind $_.FullName -o ($_.FullName -replace '\.log$', '.kml') }
README-Windows.txt skip: PowerShell does not run here: checked by reading
  Get-ChildItem examples\*.kml | Where-Object { -not (Select-String -Quiet '<Placemark>' -LiteralPath $_.FullName) }
README-Windows.txt skip: PowerShell does not run here: checked by reading
  Get-FileHash telem2kml-*-windows-x86_64.zip
ROWS
)

# The checks a row may use, in its folder.
status() { [ "$status" = "$1" ] || { echo "status $status, not $1"; return 1; }; }
prints() { grep -qF -- "$1" "$out" || { echo "the output does not hold: $1"; return 1; }; }
same() { cmp -s "$1" "$source/tests/golden/$2/expect/${1##*/}" || { echo "$1 is not the golden case $2's"; return 1; }; }
segments() {
  local count
  count=$(grep -c '<Placemark>' "$1")
  [ "$count" = "$2" ] || { echo "$1 holds $count segments, not $2"; return 1; }
}

# The recipes of one text, each as TEXT and its command, ended by NUL bytes: a sh command runs on until bash
# reads it whole (a line continued, a quote or a here-document left open, a loop); bat and powershell
# commands, and README-Windows.txt's, are one line each.
recipes_of() {
  local text=$1 file=$2 language="" command="" line
  if [ "$text" = README-Windows.txt ]; then
    tr -d '\r' <"$file" | sed -n 's/^    \([^ ]\)/\1/p' | while IFS= read -r line; do
      printf '%s\0%s\0' "$text" "$line"
    done
    return
  fi
  while IFS= read -r line; do
    case $language in
      "") [[ $line =~ ^\`\`\`(sh|bat|powershell)$ ]] && language=${BASH_REMATCH[1]} ;;
      *)
        if [ "$line" = '```' ]; then
          language=""
        elif [ "$language" != sh ]; then
          [ -n "$line" ] && printf '%s\0%s\0' "$text" "$line"
        else
          command+=${command:+$'\n'}$line
          if [[ $line != *\\ ]] && [ -z "$(bash -n <<<"$command" 2>&1)" ]; then
            printf '%s\0%s\0' "$text" "$command"
            command=""
          fi
        fi
        ;;
    esac
  done <"$file"
}

mkdir -p "$scratch/downloads" "$scratch/home" "$scratch/zip"
cp "$dist"/* "$scratch/downloads/"
unzip -q "$dist/$zip.zip" -d "$scratch/zip"
tar -xzf "$dist/$tarball.tar.gz" -C "$scratch" "$tarball/share/doc/telem2kml/README.md" \
  "$tarball/share/doc/telem2kml/examples/README.md"
texts=(README.md "$scratch/$tarball/share/doc/telem2kml/README.md"
  examples/README.md "$scratch/$tarball/share/doc/telem2kml/examples/README.md"
  README-Windows.txt "$scratch/zip/$zip/README-Windows.txt")
# wine keeps the prefix it had: a prefix under the scratch HOME would be made anew, its server outliving it.
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
export HOME=$scratch/home PATH=$scratch/home/.local/bin:$PATH
unset MANPATH
declare -A folder=([downloads]=$scratch/downloads [tarball]=$scratch/downloads/$tarball
  [work]=$HOME/telem2kml-examples [examples]=$scratch/downloads/$tarball/share/doc/telem2kml/examples
  [zip]=$scratch/zip/$zip [zip-examples]=$scratch/zip/$zip/examples)

declare -A used
failures=0
for ((t = 0; t < ${#texts[@]}; t += 2)); do
  while IFS= read -r -d '' text && IFS= read -r -d '' command; do
    first=${command%%$'\n'*}
    row=$(TEXT=$text FIRST=$first awk 'previous != "" && substr($0, 3) == ENVIRON["FIRST"] { print previous; exit }
      { previous = index($0, ENVIRON["TEXT"] " ") == 1 ? $0 : "" }' <<<"$rows")
    if [ -z "$row" ]; then
      echo "FAIL: $text: no row for the recipe: $first"
      failures=$((failures + 1))
      continue
    fi
    used[$text $first]=1
    where=${row#"$text "} && where=${where%%:*}
    checks=${row#*: }
    if [ "$where" = skip ]; then
      echo "skip: $text: $first ($checks)"
      continue
    elif [[ $checks =~ ^needs\ ([^ ]+)\ \&\&\  ]] && ! command -v "${BASH_REMATCH[1]}" >/dev/null; then
      echo "skip: $text: $first (${BASH_REMATCH[1]} is not installed)"
      continue
    fi
    dir=${folder[$where]}
    out=$scratch/out
    for file in $(grep -o 'same [^ ]*' <<<"$checks" | cut -d' ' -f2); do rm -f "$dir/$file"; done
    if [[ $where == zip* ]]; then
      [[ $command == for\ * ]] && command=${command//%/%%}
      printf '%s\r\n' "$command" >"$scratch/recipe.cmd"
      (cd "$dir" && "$source/cmake/wine-run.sh" cmd /c "Z:${scratch//\//\\}\\recipe.cmd") >"$out" 2>&1
    else
      (cd "$dir" && bash -c "$command") >"$out" 2>&1
    fi
    status=$?
    if verdict=$(cd "$dir" && eval "${checks#needs * && }" 2>&1); then
      echo "ok: $text: $first"
    else
      echo "FAIL: $text: $first: ${verdict:-$checks}"
      tail -n 5 "$out"
      failures=$((failures + 1))
    fi
  done < <(recipes_of "${texts[t]}" "${texts[t + 1]}")
done
while IFS= read -r header && IFS= read -r recipe; do
  if [ -z "${used[${header%% *} ${recipe:2}]:-}" ]; then
    echo "FAIL: a row for a recipe that ${header%% *} does not hold: ${recipe:2}"
    failures=$((failures + 1))
  fi
done <<<"$rows"
[ $failures = 0 ] && echo "ok: every recipe of the shipped guides gave what it promises"
exit $((failures != 0))
