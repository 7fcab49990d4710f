#!/usr/bin/env bash
# A spanned archive on a removable drive: every disk holds a file of the
# program's own name, and the disk wanted next is told by its volume label
# "PKBACK# " and the disk number. Drive A: is a removable drive of Wine on a
# folder per disk; sfxdrive's "disk" step changes the disk (Wine reads the
# label only then). "PKBACK# 002" and "PKBACK# 2" are taken without a prompt;
# "PKBACK# 001", "PKBACK# 0A2" and no label bring "Insert Disk Number 2",
# which asks again while the wrong disk stays in, goes on after the right
# disk is put in, and ends the run with the failure summary on Cancel.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
printf 'on the first disk\n' > src/a.txt
seq 1 20000 > src/b.txt
printf 'on the second disk\n' > src/c.txt
touch -d '2003-03-03 03:03:04' src/a.txt src/b.txt src/c.txt
(cd src && zip -q -X -9 ../f.zip a.txt b.txt c.txt)
files="a.txt b.txt c.txt"
prompt=("Insert Disk Number 2" "Multi Volume")
summary=("The selected file(s) couldn't get extracted." "Error..")

# disks NAME LABEL2 [mksfx options...]: the two disks of setup.exe in
# $WORK/NAME/disk1 (labelled "PKBACK# 001") and $WORK/NAME/disk2 (labelled
# LABEL2, or without a label when LABEL2 is "-"); b.txt runs from one to the
# other. The destination is C:\e2e\<test>\NAME\out.
disks() {
  local name=$1 label2=$2
  shift 2
  mkdir -p "$WORK/$name"
  make_spanned --disks setup.exe f.zip h2+100 --dest "$WORK_WIN\\$name\\out" "$@"
  mv "$WORK/disk1" "$WORK/disk2" "$WORK/$name/"
  printf 'PKBACK# 001' > "$WORK/$name/disk1/.windows-label"
  [ "$label2" = - ] || printf '%s' "$label2" > "$WORK/$name/disk2/.windows-label"
}
check() {
  local f
  for f in $files; do expect_same "src/$f" "$1/out/$f"; done
  echo "$1: extracted from both disks"
}

# The second disk put in while the main dialog is open, before Extract.
for label in 'PKBACK# 002' 'PKBACK# 2'; do
  name=accept${label#PKBACK# }
  disks "$name" "$label"
  drive --disk a: "$WORK/$name/disk1" 'A:\setup.exe' timeout 8000 \
    label 'A:\' 'PKBACK# 001' window "Korvi EXE" \
    disk a: "$WORK/$name/disk2" label 'A:\' "$label" click 1 \
    message "All files have been extracted." "Finished." click 1 exit 0
  check "$name"
done

# Automatic mode, the first disk still in: asked, OK with the same disk asks
# again, then the second disk and OK.
disks first 'PKBACK# 002' --auto
drive --disk a: "$WORK/first/disk1" 'A:\setup.exe' timeout 8000 \
  message "${prompt[@]}" click 1 gone \
  message "${prompt[@]}" disk a: "$WORK/first/disk2" click 1 gone \
  exit 0
check first

# A label that is no disk number: asked; the disk relabelled and put in again.
disks letters 'PKBACK# 0A2'
drive --disk a: "$WORK/letters/disk1" 'A:\setup.exe' timeout 8000 \
  window "Korvi EXE" disk a: "$WORK/letters/disk2" click 1 \
  message "${prompt[@]}" write 'A:\.windows-label' 'PKBACK# 002' disk a: "$WORK/letters/disk2" \
  label 'A:\' 'PKBACK# 002' click 1 gone \
  message "All files have been extracted." "Finished." click 1 exit 0
check letters

# No label: asked; Cancel ends the run with the failure summary and the main
# dialog stays.
disks nolabel -
drive --disk a: "$WORK/nolabel/disk1" 'A:\setup.exe' timeout 8000 \
  window "Korvi EXE" disk a: "$WORK/nolabel/disk2" label 'A:\' '' click 1 \
  message "${prompt[@]}" click 2 gone \
  message "${summary[@]}" click 1 gone \
  window "Korvi EXE" close exit 1
expect_same src/a.txt nolabel/out/a.txt
[ ! -e nolabel/out/c.txt ] || fail "c.txt was extracted without its disk"

# Cancel in automatic mode: the summary, and the program ends.
disks cancel 'PKBACK# 002' --auto
drive --disk a: "$WORK/cancel/disk1" 'A:\setup.exe' timeout 8000 \
  message "${prompt[@]}" click 2 gone \
  message "${summary[@]}" click 1 exit 1
expect_same src/a.txt cancel/out/a.txt
[ ! -e cancel/out/c.txt ] || fail "c.txt was extracted without its disk"
echo "disks told by their labels, asked for, changed and refused"
