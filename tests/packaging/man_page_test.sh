#!/usr/bin/env bash
# The manual page must format without a single warning, both for print and for the terminal.
#
# usage: man_page_test.sh PAGE      (exit status 77 tells ctest the check was skipped)
set -u
page=$1
if ! command -v groff >/dev/null 2>&1; then
  echo "SKIP: groff is not installed (Debian package groff), so $page was not checked"
  exit 77
fi
failed=0
for device in ps utf8; do
  warnings=$(groff -man -ww -z -T"$device" "$page" 2>&1)
  status=$?
  if [ $status -ne 0 ] || [ -n "$warnings" ]; then
    echo "FAIL: groff -man -ww -z -T$device $page (status $status):"
    echo "$warnings"
    failed=1
  fi
done
[ $failed = 0 ] && echo "ok: groff formats $page without warnings"
exit $failed
