#!/usr/bin/env bash
# While another process holds the executable open without read sharing, the stub
# cannot open its own file with read sharing: it shows its path in a message
# box captioned "Error reading archive." and exits with 2 (unreadable).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
printf 'data' > "$WORK/a.txt"
(cd "$WORK" && zip -q -X a.zip a.txt)
make_sfx locked.exe "$WORK/a.zip"
drive --hold "$WORK_WIN\\locked.exe" "$WORK_WIN\\locked.exe" \
  message "$WORK_WIN\\locked.exe" "Error reading archive." \
  click 1 exit 2
