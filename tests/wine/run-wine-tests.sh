#!/usr/bin/env bash
# run-wine-tests.sh BUILD_DIR
#
# Runs the x86_64 Veskera.dll inside B2.exe under Wine, one case per tests/wine/cases/*.expected
# (see cases/README), and compares what B2.exe records with the expected lines. BUILD_DIR is a
# mingw-x86_64 build tree. Prints one PASS or FAIL line per case and "N passed, M failed"; exits
# non-zero when anything failed. Every Wine call runs under a time limit, so a dialog nobody
# answers fails the case instead of hanging.
set -u

if [[ $# -ne 1 || ! -d $1 ]]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
cases=$(cd "$(dirname "$0")/cases" && pwd)

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
case_timeout=${VESK_WINE_CASE_TIMEOUT:-60}

export WINEPREFIX="$build/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko installers: they would open windows and wait.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY

die() {
  echo "FAIL setup: $*"
  echo "0 passed, 1 failed"
  exit 1
}

[[ -x $wine ]] || die "$wine not found"

# The programs: the DLL must be the 64-bit one, as B2.exe is.
find_one() { find "$build" -path "*/$1" -type f -not -path "$WINEPREFIX/*" -not -path "$build/wine-run/*" | head -n 1; }
dll=$(find_one plugin/Veskera.dll)
[[ -n $dll ]] || die "Veskera.dll not found under $build"
x86_64-w64-mingw32-objdump -f "$dll" 2>/dev/null | grep -q 'x86-64' || die "$dll is not an x86_64 DLL"
run="$build/wine-run"
rm -rf "$run"
mkdir -p "$run"
cp "$dll" "$run/"
# noversion/B2.exe lacks the version resource; it runs in its own folder with its own copy of the DLL.
mkdir -p "$run/noversion"
cp "$dll" "$run/noversion/"
for exe in tests/wine/B2.exe tests/wine/B2NoConnect.exe tests/wine/exitcode.exe noversion/B2.exe; do
  path=$(find_one "$exe")
  [[ -n $path ]] || die "$exe not found under $build"
  cp "$path" "$run/${exe#tests/wine/}"
done

# A fresh prefix with the null display driver, so windows exist without any screen.
if [[ -d $WINEPREFIX ]]; then
  timeout -k 5 30 "$wineserver" -k >/dev/null 2>&1  # a server left over from an earlier run
  rm -rf "$WINEPREFIX"
fi
timeout -k 10 300 "$wine" wineboot --init >"$build/wine-boot.log" 2>&1 || die "wineboot failed (see $build/wine-boot.log)"
timeout -k 10 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$build/wine-boot.log" 2>&1 ||
  die "could not select the null driver"
# The driver is chosen when the server starts: let this one end before the first case.
timeout -k 10 60 "$wineserver" -w || die "wineserver did not stop"

# Expands @start and @finish in an expected file.
expand_expected() {
  local line
  while IFS= read -r line || [[ -n $line ]]; do
    case $line in
      @start) cat "$cases/start.lines" ;;
      @finish) cat "$cases/finish.lines" ;;
      *) printf '%s\n' "$line" ;;
    esac
  done <"$1"
}

# line_matches GOT WANT: equal, or matching WANT's glob when WANT starts with "~ ".
line_matches() {
  if [[ $2 == "~ "* ]]; then
    local pattern=${2#"~ "}
    pattern=${pattern//\\/\\\\}  # the records' backslash escapes are literal text
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]]
  else
    [[ $1 == "$2" ]]
  fi
}

# compare ACTUAL EXPECTED: true when the files match line by line; otherwise prints each line that
# does not, numbered, with what was expected there.
compare() {
  local -a got want
  local i n ok=0
  mapfile -t got <"$1"
  mapfile -t want <"$2"
  n=$((${#got[@]} > ${#want[@]} ? ${#got[@]} : ${#want[@]}))
  for ((i = 0; i < n; i++)); do
    if ((i < ${#got[@]} && i < ${#want[@]})) && line_matches "${got[i]}" "${want[i]}"; then continue; fi
    ok=1
    echo "    line $((i + 1)):"
    ((i < ${#want[@]})) && echo "      expected: ${want[i]}" || echo "      expected: (nothing)"
    ((i < ${#got[@]})) && echo "      got:      ${got[i]}" || echo "      got:      (nothing)"
  done
  return $ok
}

passed=0
failed=0
for expected in "$cases"/*.expected; do
  name=$(basename "$expected" .expected)
  exe=B2.exe
  args=()
  if [[ -f $cases/$name.args ]]; then
    while IFS= read -r line || [[ -n $line ]]; do
      if [[ $line == exe=* ]]; then exe=${line#exe=}; else args+=("$line"); fi
    done <"$cases/$name.args"
  fi
  if [[ -f $cases/$name.vesk ]]; then
    cp "$cases/$name.vesk" "$run/"
    args+=(--template "$name.vesk")
  fi

  out="$run/$name.out"
  (cd "$run" && timeout -k 10 "$case_timeout" "$wine" "./$exe" "${args[@]}" >"$out" 2>"$run/$name.err")
  rc=$?
  expand_expected "$expected" >"$run/$name.want"
  if ((rc == 124)); then
    echo "FAIL $name: timed out after ${case_timeout}s"
  elif [[ $exe == B2.exe ]] && ((rc != 0)); then
    echo "FAIL $name: $exe exited with $rc"
  elif report=$(compare "$out" "$run/$name.want"); then
    echo "PASS $name"
    passed=$((passed + 1))
    continue
  else
    echo "FAIL $name: output differs"
    echo "$report"
  fi
  failed=$((failed + 1))
  [[ -s $run/$name.err ]] && sed 's/^/    stderr: /' "$run/$name.err" | head -n 20
done

timeout -k 5 30 "$wineserver" -k >/dev/null 2>&1
echo "$passed passed, $failed failed"
((failed == 0))
