#!/usr/bin/env bash
# Runs one whole-run case and compares everything it leaves behind.
#
# A case folder holds `args` (one argument per line), the input files the arguments name, and `expect/`
# with `stdout`, `stderr`, `status` and a copy of every file the run must create. `note`, where present, says
# in one line what the case guards. `platforms`, where present, holds one line, `posix: why` or
# `windows: why`: the case runs on that platform only and is skipped elsewhere (status 77). The run happens
# in a scratch folder holding copies of the inputs, under the program name "telem2kml". The inputs must come
# out unchanged, and no file may appear that expect/ does not hold.
#
# A Windows program prints itself under the path it was started by: its usage line "U: ... OPTIONS"
# compares as "U: telem2kml OPTIONS". Nothing else is changed before comparing.
#
# usage: run_case.sh [--platform posix|windows] TELEM2KML CASE_DIR [--update]
#   --platform: what TELEM2KML was built for (default posix)
#   --update: rewrites expect/ from this run: review it!
# Needs bash 3.2 or later and POSIX tools: runs on Linux, macOS, the BSDs and Git Bash alike.
set -u
shopt -s nullglob
usage="usage: run_case.sh [--platform posix|windows] TELEM2KML CASE_DIR [--update]"
platform=posix
if [ "${1:-}" = --platform ]; then
  platform=${2:-} && shift 2
fi
case $platform in
  posix | windows) ;;
  *) echo "run_case.sh: no platform '$platform'; $usage" >&2 && exit 2 ;;
esac
[ $# -ge 2 ] || { echo "$usage" >&2 && exit 2; }
bin=$1 case_dir=${2%/} update=${3:-}
name=$(basename "$case_dir")

if [ -f "$case_dir/platforms" ]; then
  only=$(head -n 1 "$case_dir/platforms")
  case ${only%%:*} in
    "$platform") ;;
    posix | windows) echo "skipped $name: for ${only%%:*} only:${only#*:}" && exit 77 ;;
    *) echo "run_case.sh: $case_dir/platforms must begin with 'posix:' or 'windows:'" >&2 && exit 2 ;;
  esac
fi

# The run happens in a scratch folder: a path to the program must not depend on the folder it was given in.
case $bin in */*) [ -d "$(dirname "$bin")" ] && bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin") ;; esac
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/run" "$scratch/got"
is_input() { case $(basename "$1") in args | expect | note | platforms) return 1 ;; esac; }
for f in "$case_dir"/*; do
  is_input "$f" && cp -a "$f" "$scratch/run/"
done
args=()
while IFS= read -r arg || [ -n "$arg" ]; do args+=("$arg"); done <"$case_dir/args"
(cd "$scratch/run" && exec -a telem2kml "$bin" ${args[@]+"${args[@]}"}) \
  >"$scratch/got/stdout" 2>"$scratch/got/stderr" </dev/null
echo $? >"$scratch/got/status"
for f in "$scratch"/run/*; do
  [ -e "$case_dir/$(basename "$f")" ] || mv "$f" "$scratch/got/"
done
if [ "$platform" = windows ]; then
  LC_ALL=C sed 's/^U: .* OPTIONS$/U: telem2kml OPTIONS/' "$scratch/got/stdout" >"$scratch/stdout" &&
    mv "$scratch/stdout" "$scratch/got/stdout"
fi

changed_inputs=()
for f in "$case_dir"/*; do
  is_input "$f" || continue
  file=$(basename "$f")
  diff -r -q "$f" "$scratch/run/$file" >/dev/null 2>&1 || changed_inputs+=("$file")
done

if [ "$update" = --update ]; then
  # Only a run that went as the case means is recorded; a file meant to go is deleted from expect/ by hand.
  status=$(cat "$scratch/got/status")
  refuse() { echo "not updating $name: $1; expect/ is unchanged" >&2 && exit 1; }
  # 126 and 127: the program could not be run; 129 to 192: a signal ended it. 252, 253 and 255 are its own.
  if [ "$status" = 126 ] || [ "$status" = 127 ] || { [ "$status" -gt 128 ] && [ "$status" -le 192 ]; }; then
    refuse "$bin could not run or died from a signal (status $status)"
  fi
  [ ${#changed_inputs[@]} = 0 ] || refuse "the run changed its input ${changed_inputs[*]}"
  for f in "$case_dir"/expect/*; do
    [ -e "$scratch/got/$(basename "$f")" ] || refuse "expect/$(basename "$f") would be lost"
  done
  rm -rf "$case_dir/expect" && cp -a "$scratch/got" "$case_dir/expect" && echo "updated $name" && exit 0
fi

failed=0
show() {  # a readable diff: CR shows as \r, other control and high bytes as octal escapes, line ends as $
  diff -u -L "expected $1" -L "actual $1" <(LC_ALL=C sed -n l "$2" 2>/dev/null) \
    <(LC_ALL=C sed -n l "$3" 2>/dev/null) | head -n 60
}
for file in $( (ls "$case_dir/expect"; ls "$scratch/got") | sort -u); do
  if ! cmp -s "$case_dir/expect/$file" "$scratch/got/$file"; then
    echo "FAIL $name: $file differs"
    show "$file" "$case_dir/expect/$file" "$scratch/got/$file"
    failed=1
  fi
done
for file in ${changed_inputs[@]+"${changed_inputs[@]}"}; do
  echo "FAIL $name: input $file was changed"
  failed=1
done
[ $failed = 0 ] && echo "ok $name"
exit $failed
