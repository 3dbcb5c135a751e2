#!/bin/sh
# quorvane-scan links no window code: no common controls or GDI, and from USER32 only the error
# box that the signature library's -sig mode pulls in and the case folding of paths.
# usage: window-free.sh OBJDUMP EXE
headers=$("$1" -p "$2")
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
user32=$(echo "$headers" | awk '/DLL Name: /{ f = (tolower($3) == "user32.dll"); next } f && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' |
  sort | tr '\n' ' ')
echo "imports: $dlls"
echo "from user32.dll: $user32"
status=0
case " $dlls" in *" comctl32.dll "* | *" gdi32.dll "* | *" uxtheme.dll "*) echo "window libraries imported"; status=1 ;; esac
for name in $user32; do
  case $name in CharUpperBuffW | GetActiveWindow | MessageBoxW) ;; *) echo "window code imported: $name"; status=1 ;; esac
done
exit $status
