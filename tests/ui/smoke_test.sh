#!/usr/bin/env bash
# Starts the built program under Xvfb on the demo project (scripts/
# demo_server.py), waits until its window lists the demo site with its
# states, and keeps a picture of the window.
# Usage: smoke_test.sh RAVELO DEMO_SERVER SCREENSHOT
set -euo pipefail
program=$1
demo=$2
shot=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/ravelo-smoke.XXXXXX")
coproc DEMO { exec /usr/bin/python3 "$demo" "$work"; }
server=$DEMO_PID
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
read -r project <&"${DEMO[0]}"
rm -f "$shot"

# The program writes the picture and its ready line once it shows the
# site connected, then closes; the timeout is only a deadline.
if ! ready=$(RAVELO_READY_SCREENSHOT="$shot" QT_QPA_PLATFORM=xcb \
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$program" "$project" 2>"$work/errors"); then
  cat "$work/errors" >&2
  echo "ravelo failed or did not show the site in time" >&2
  exit 1
fi
expected="ravelo: ready: blog, css, images, js, about.html (Not Cached), contact.html (Unknown),\
 index.html (Not Cached), notes.txt (Fresh), robots.txt (Not Cached)"
if [ "$ready" != "$expected" ]; then
  printf 'expected: %s\nshown:    %s\n' "$expected" "$ready" >&2
  exit 1
fi
[ -s "$shot" ] || { echo "no picture in $shot" >&2; exit 1; }
echo "$ready; picture: $shot"
