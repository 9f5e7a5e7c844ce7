#!/usr/bin/env bash
# Runs one whole-run case and compares everything it leaves behind.
#
# A case folder holds `args` (one argument per line), the input files the arguments name, and `expect/`
# with `stdout`, `stderr`, `status` and a copy of every file the run must create. The run happens in a
# scratch folder holding copies of the inputs, under the program name "telem2kml". The inputs must come out
# unchanged, and no file may appear that expect/ does not hold.
#
# usage: run_case.sh TELEM2KML CASE_DIR [--update]   (--update rewrites expect/ from this run: review it!)
set -u
shopt -s nullglob
bin=$1 case_dir=${2%/} update=${3:-}
name=$(basename "$case_dir")
# The run happens in a scratch folder: a path to the program must not depend on the folder it was given in.
case $bin in */*) [ -d "$(dirname "$bin")" ] && bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin") ;; esac
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/run" "$scratch/got"
for f in "$case_dir"/*; do
  case $(basename "$f") in args | expect) ;; *) cp -a "$f" "$scratch/run/" ;; esac
done
mapfile -t args <"$case_dir/args"
(cd "$scratch/run" && exec -a telem2kml "$bin" "${args[@]}") \
  >"$scratch/got/stdout" 2>"$scratch/got/stderr" </dev/null
echo $? >"$scratch/got/status"
for f in "$scratch"/run/*; do
  [ -e "$case_dir/$(basename "$f")" ] || mv "$f" "$scratch/got/"
done

changed_inputs=()
for f in "$case_dir"/*; do
  file=$(basename "$f")
  case $file in args | expect) continue ;; esac
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
show() {  # a readable diff: CR shows as ^M, other control bytes as ^X
  diff -u --label "expected $1" --label "actual $1" <(cat -A "$2" 2>/dev/null) <(cat -A "$3" 2>/dev/null) | head -n 60
}
for file in $( (ls "$case_dir/expect"; ls "$scratch/got") | sort -u); do
  if ! cmp -s "$case_dir/expect/$file" "$scratch/got/$file"; then
    echo "FAIL $name: $file differs"
    show "$file" "$case_dir/expect/$file" "$scratch/got/$file"
    failed=1
  fi
done
for file in "${changed_inputs[@]}"; do
  echo "FAIL $name: input $file was changed"
  failed=1
done
[ $failed = 0 ] && echo "ok $name"
exit $failed
