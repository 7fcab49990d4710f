#!/usr/bin/env bash
# Names in any script and paths past MAX_PATH, as Python's zipfile and 7-Zip
# write them (both flag the names as UTF-8): extracted in automatic mode to
# exactly those names, exit 0, no message. Names refused on their UTF-16 form
# (a part of 256 units, a fullwidth solidus) are told and leave no file. The
# overwrite question and the progress dialog show a name in another script
# as it is.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
export LC_ALL=C.UTF-8
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

mkdir -p src
python3 - <<'PY'
import os
names = ["日本語/ファイル.txt", "Αθήνα/σημείωση.txt", "Київ/файл.txt", "😀 smile.txt",
         # below the destination a path of more than 300 characters
         "/".join(["long-" + "x" * 95] * 3) + "/" + "y" * 40 + ".txt"]
for n in names:
    path = os.path.join("src", n)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(n)
PY
(cd src && python3 - <<'PY'
import os, zipfile
with zipfile.ZipFile("../python.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in sorted(os.walk(".")):
        for f in sorted(files):
            z.write(os.path.join(folder, f)[2:])
PY
)
(cd src && 7z a -tzip -mx5 ../7zip.zip . >/dev/null)

for zip in python 7zip; do
  make_sfx "$zip.exe" "$WORK/$zip.zip" --auto --dest "$WORK_WIN\\$zip"
  drive "$WORK_WIN\\$zip.exe" exit 0 >/dev/null || { cat sfxdrive.log; fail "$zip: the run failed"; }
  diff -r src "$zip" || fail "$zip: the names or contents differ from the source"
  echo "$zip: every name as the source has it"
done

# Refused on the UTF-16 form: the first refused name is told, the summary
# follows, the name that is fine is written, nothing under the others.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("refused.zip", "w") as z:
    z.writestr("x" * 256 + ".txt", "too long a part")
    z.writestr("a\uff0fb.txt", "fullwidth solidus")
    z.writestr("ok-\u00e9t\u00e9.txt", "fine")
PY
make_sfx refused.exe "$WORK/refused.zip" --auto --dest "$WORK_WIN\\refused"
drive "$WORK_WIN\\refused.exe" \
  message "$(printf 'x%.0s' $(seq 1 256)).txt" "Invalid filename." click 1 \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  exit 1 >/dev/null || { cat sfxdrive.log; fail "refused: not as expected"; }
[ "$(cd refused && find . -type f)" = "./ok-été.txt" ] || fail "refused: wrote $(cd refused && find . -type f)"
echo "refused: told, and nothing written under a refused name"

# Existing files: the question and the progress dialog show the first one's
# name, an emoji and Latin letters, as it is, not as question marks.
make_sfx ask.exe "$WORK/python.zip" --dest "$WORK_WIN\\python"
drive "$WORK_WIN\\ask.exe" \
  window "Korvi EXE" click 1 \
  window "Confirm File Overwrite" wtext 500 "$(hex '😀 smile.txt')" \
  window "Korvi EXE Processing..." wtext 901 "$(hex '😀 smile.txt')" \
  window "Confirm File Overwrite" check 401 1 click 2 gone \
  message "The selected file(s) couldn't get extracted." "Error.." click 1 \
  window "Korvi EXE" close exit 1 >/dev/null || { cat sfxdrive.log; fail "ask: not as expected"; }
echo "ask: the question and the progress dialog name 😀 smile.txt"
