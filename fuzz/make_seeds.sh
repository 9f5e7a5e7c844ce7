#!/usr/bin/env bash
# Makes the golden-* seeds of each fuzz target from the logs and -n lists of the golden cases; the other
# seeds (hand-made, or inputs that once broke something) are kept. Run it after adding golden cases.
# The seeds are made in a scratch folder first: only those that differ are written, those of golden cases
# gone are removed, so a second run changes nothing and an interrupted one leaves the seeds as they were.
#
# The first byte of a tokenizer or run seed picks the variant (bit 0) and the read block size (bits 1-3, an
# index into fuzz_block_sizes in fuzz_input.h): tokenizer seeds read 3-byte blocks, run seeds 7-byte ones.
# The second byte of a tokenizer seed sets the scan with the structural lane (tokenizer_fuzzer.cc): no line
# feeds before the log, 100-byte blocks.
# A log longer than 4 KiB gives its first lines only, since long seeds slow the fuzzer down.
set -euo pipefail
usage="usage: fuzz/make_seeds.sh [-h|--help]"
if [ $# = 1 ] && [[ $1 == -h || $1 == --help ]]; then
  echo "$usage"
  echo "Makes the golden-* seeds of fuzz/seeds/ from the golden cases of tests/golden/; keeps the others."
  exit 0
fi
if [ $# -gt 0 ]; then
  echo "make_seeds.sh: takes no argument but -h or --help, not: $*" >&2
  echo "$usage" >&2
  exit 2
fi
cd "$(dirname "$0")"
shopt -s nullglob
made=$(mktemp -d) && trap 'rm -rf "$made"' EXIT
mkdir -p seeds/tokenizer seeds/run seeds/sample_list "$made/tokenizer" "$made/run" "$made/sample_list"

first_byte() { printf "\\x$(printf %02x "$1")"; }
seed_log() { if [ "$(wc -c <"$1")" -le 4096 ]; then cat "$1"; else head -c 4096 "$1" | sed '$d'; fi; }

for case_dir in ../tests/golden/*/; do
  name=golden-$(basename "$case_dir")
  comma=0
  grep -qxE -- '-r|--trek-ru|--smlog-ru' "$case_dir/args" && comma=1
  for log in "$case_dir"*.log; do
    stem=$name
    [ "$(basename "$log")" = input.log ] || stem=$name-$(basename "$log" .log)
    { first_byte $((0 | 3 << 1)) && first_byte $((2 << 6)) && seed_log "$log"; } >"$made/tokenizer/$stem.dot"
    { first_byte $((1 | 3 << 1)) && first_byte $((2 << 6)) && seed_log "$log"; } >"$made/tokenizer/$stem.comma"
    { first_byte $((comma | 4 << 1)) && seed_log "$log"; } >"$made/run/$stem"
  done
  # the lists of the case's -n options, divided by NUL bytes as the sample_list target reads them
  lists=$(grep -A1 -xE -- '-n|--samples' "$case_dir/args" | grep -vxE -- '-n|--samples|--' || true)
  [ -z "$lists" ] || printf %s "$lists" | tr '\n' '\0' >"$made/sample_list/$name"
done

written=0 removed=0
for target in tokenizer run sample_list; do
  for seed in seeds/$target/golden-*; do
    [ -e "$made/$target/${seed##*/}" ] || { rm "$seed" && removed=$((removed + 1)); }
  done
  for seed in "$made/$target"/golden-*; do
    cmp -s "$seed" "seeds/$target/${seed##*/}" || { cp "$seed" "seeds/$target/" && written=$((written + 1)); }
  done
  echo "$target: $(ls seeds/$target | wc -l) seeds"
done
echo "golden seeds: $written written, $removed removed"
