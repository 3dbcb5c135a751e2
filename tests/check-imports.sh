#!/bin/sh
# Fails when the program imports a DLL that is not part of Windows itself, or one that is
# neither a known DLL nor side-by-side (bcrypt, uxtheme): a file of that name beside the
# program would be loaded in its place before the program runs. Such DLLs are loaded at run
# time from the system folder.
# usage: check-imports.sh OBJDUMP EXE
objdump=$1 exe=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|msvcrt|ntdll|shlwapi)\.dll$'
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || { echo "no imports read from $exe"; exit 1; }
echo "$imports"
bad=$(echo "$imports" | tr 'A-Z' 'a-z' | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then echo "not a system DLL: $bad"; exit 1; fi
echo "imports: only system DLLs"
