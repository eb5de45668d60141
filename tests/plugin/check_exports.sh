#!/bin/sh
# Checks the export table and the imports of a Windows build of the plug-in DLL:
#   - exactly the fourteen BKC_ callbacks, ordinals 1 to 14 in their fixed order, undecorated;
#   - imports of Windows system DLLs only (no mingw run-time DLL a user's machine would lack).
# Usage: check_exports.sh DLL_PATH. Exits 0 when all holds (or when there is no DLL to check), 1
# otherwise, and prints what it checked.
set -u

dll=${1:-}
if [ -z "$dll" ] || [ ! -f "$dll" ]; then
  echo "check_exports: no DLL at '${dll}': nothing checked (build the mingw-i686 preset first)"
  exit 0
fi

objdump=
for tool in i686-w64-mingw32-objdump x86_64-w64-mingw32-objdump objdump; do
  if command -v "$tool" >/dev/null 2>&1; then objdump=$tool; break; fi
done
if [ -z "$objdump" ]; then
  echo "check_exports: no objdump found"
  exit 1
fi

dump=$("$objdump" -p "$dll" 2>&1) || { echo "check_exports: $objdump cannot read $dll"; echo "$dump"; exit 1; }

expected="1 BKC_OnStart
2 BKC_OnExit
3 BKC_OnMenuInit
4 BKC_OnOpenFolder
5 BKC_OnOpenMail
6 BKC_OnEveryMinute
7 BKC_OnOpenCompose
8 BKC_OnOutgoing
9 BKC_OnKeyDispatch
10 BKC_OnRetrieve
11 BKC_OnSend
12 BKC_OnFinishRetrieve
13 BKC_OnPlugInSetup
14 BKC_OnPlugInInfo"

# The name table lists "[index] name"; an export's ordinal is its index plus the ordinal base.
base=$(printf '%s\n' "$dump" | sed -n 's/^Ordinal Base[[:space:]]*\([0-9][0-9]*\).*/\1/p' | head -n 1)
actual=$(printf '%s\n' "$dump" | awk -v base="${base:-1}" '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^[[:space:]]*$/ { inside = 0 }
  inside && match($0, /\[[[:space:]]*[0-9]+\]/) {
    index_text = substr($0, RSTART + 1, RLENGTH - 2); gsub(/[[:space:]]/, "", index_text)
    name = substr($0, RSTART + RLENGTH); gsub(/^[[:space:]]+|[[:space:]]+$/, "", name)
    print index_text + base, name
  }' | sort -n)

status=0
echo "check_exports: $dll (read with $objdump)"
if [ "$actual" = "$expected" ]; then
  echo "  exports: the 14 BKC_ callbacks at ordinals 1..14, undecorated: ok"
else
  echo "  exports: wrong; expected"
  printf '%s\n' "$expected" | sed 's/^/    /'
  echo "  found"
  printf '%s\n' "$actual" | sed 's/^/    /'
  status=1
fi
if printf '%s\n' "$actual" | grep -q '@'; then
  echo "  exports: decorated names (stdcall @N) found"
  status=1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr -d '\r')
bad=
for name in $imports; do
  lower=$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')
  case "$lower" in
    kernel32.dll|user32.dll|gdi32.dll|version.dll|shell32.dll|advapi32.dll|ole32.dll|oleaut32.dll| \
    comctl32.dll|comdlg32.dll|msvcrt.dll|ntdll.dll|ucrtbase.dll|api-ms-win-*.dll) ;;
    *) bad="$bad $name" ;;
  esac
done
echo "  imports:" $imports
if [ -n "$bad" ]; then
  echo "  imports: not Windows system DLLs:$bad"
  status=1
else
  echo "  imports: Windows system DLLs only: ok"
fi
exit $status
