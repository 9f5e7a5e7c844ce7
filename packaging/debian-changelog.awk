# Turns CHANGELOG.md (Keep a Changelog) into a Debian changelog on standard output: each "## [X.Y.Z] -
# DATE" version becomes one entry, each "### Group" a starred line, each "- item" a dashed item wrapped
# within 80 columns. Links keep their text and lose their target; code keeps its backticks.
#
# usage: awk -v package=NAME -v maintainer='NAME <EMAIL>' -f debian-changelog.awk CHANGELOG.md
function plain(text) {
  while (match(text, /\[[^]]*\]\([^)]*\)/)) {
    link = substr(text, RSTART + 1, RLENGTH - 2)
    sub(/\]\(.*/, "", link)
    text = substr(text, 1, RSTART - 1) link substr(text, RSTART + RLENGTH)
  }
  return text
}
# Prints text in lines of at most 80 columns, the first after first_prefix, the rest after rest_prefix.
function wrap(text, first_prefix, rest_prefix,    words, n, i, line) {
  n = split(text, words, " ")
  line = first_prefix words[1]
  for (i = 2; i <= n; i++) {
    if (length(line) + 1 + length(words[i]) > 80) {
      print line
      line = rest_prefix words[i]
    } else {
      line = line " " words[i]
    }
  }
  print line
}
function flush_item() {
  if (item != "") wrap(plain(item), "    - ", "      ")
  item = ""
}
function close_entry() {
  flush_item()
  if (date == "") return
  cmd = "LC_ALL=C date -u -R -d " date
  cmd | getline stamp
  close(cmd)
  printf "\n -- %s  %s\n", maintainer, stamp
  date = ""
}
/^## \[[0-9]/ {
  close_entry()
  if (entries++) print ""
  version = $2
  gsub(/[][]/, "", version)
  date = $4
  if (date !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/) {
    print "CHANGELOG.md: no date in: " $0 > "/dev/stderr"
    failed = 1
    exit 1
  }
  printf "%s (%s) unstable; urgency=medium\n\n", package, version
  next
}
date == "" { next }  # the preamble, and anything before the first version
/^### / { flush_item(); print "  * " substr($0, 5) ":"; next }
/^- / { flush_item(); item = substr($0, 3); next }
/^  +[^ ]/ && item != "" { sub(/^ +/, ""); item = item " " $0; next }
/^$/ { flush_item(); next }
/^\[[^]]*\]: / { next }  # link definitions
{ print "CHANGELOG.md: unexpected line: " $0 > "/dev/stderr"; failed = 1; exit 1 }
END { if (!failed) close_entry() }
