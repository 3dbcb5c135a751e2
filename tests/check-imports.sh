#!/bin/sh
# Fails when a program imports a DLL that is not part of Windows itself, or one that is
# neither a known DLL nor side-by-side (bcrypt, uxtheme): a file of that name beside the
# program would be loaded in its place before the program runs. Such DLLs are loaded at run
# time from the system folder. Also checks the edition's image: PE32 or PE32+, with ASLR and
# DEP, and high-entropy ASLR for 64-bit; a 32-bit program is large-address-aware (the
# Characteristics bit 0x0020), so that it can map large databases.
# usage: check-imports.sh OBJDUMP x86|x64 EXE...
objdump=$1 edition=$2
shift 2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|ntdll|shlwapi)\.dll$'
if [ "$edition" = x64 ]; then
  magic='(PE32+)' flags='HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT'
else
  magic='(PE32)' flags='DYNAMIC_BASE NX_COMPAT'
fi
status=0
for exe in "$@"; do
  headers=$("$objdump" -p "$exe")
  imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [ -n "$imports" ] || { echo "$exe: no imports read"; status=1; continue; }
  echo "$exe:" $imports
  bad=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -Ev "$allowed" || true)
  [ -z "$bad" ] || { echo "$exe: not a system DLL: $bad"; status=1; }
  echo "$headers" | grep -q "^Magic.*$magic" || { echo "$exe: not $magic"; status=1; }
  if [ "$edition" = x86 ]; then
    characteristics=$(echo "$headers" | sed -n 's/^Characteristics[[:space:]]*0x//p')
    [ -n "$characteristics" ] && [ $((0x$characteristics & 0x20)) -ne 0 ] ||
      { echo "$exe: not large-address-aware (Characteristics 0x$characteristics)"; status=1; }
  fi
  for flag in $flags; do
    echo "$headers" | grep -qx "[[:space:]]*$flag" || { echo "$exe: lacks $flag"; status=1; }
  done
done
[ $status -eq 0 ] && echo "imports and image flags: as required"
exit $status
