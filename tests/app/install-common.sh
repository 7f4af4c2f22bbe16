# What the installer tests share (sourced): a Wine prefix of the test's own, checks, registry
# reading, a listing of files and registry values to compare before and after, and the installed
# program started by a "tel:" link.
# The sourcing test sets build (the win32 build folder) and source (the source folder) first.
export WINEDEBUG=-all
# No menu entries on the host for the shortcuts the installers make in the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
check() { local what=$1; shift; "$@" || fail "$what"; }
reg_value() {
    if [ $# -gt 1 ]; then set -- "$1" /v "$2"; else set -- "$1" /ve; fi
    wine reg query "$@" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*[[:space:]]*//p'
}
# The version an installer must carry: FILEVERSION a,b,c,d of the program's resource.
resource_version() {
    sed -n 's/^FILEVERSION[[:space:]]*//p' "$source/src/app/KovraAssistant.rc" | tr -d ' \r' | tr , .
}

# The test's own prefix (an installer writes registry the other suites' prefix must not see), made
# once and used again; one a failed run left with an installation in it is made anew.
make_prefix() {
    export WINEPREFIX="$build/tests/$1-prefix"
    if [ -e "$WINEPREFIX/test-incomplete" ]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    touch "$WINEPREFIX/test-incomplete"
}
prefix_passed() { rm -f "$WINEPREFIX/test-incomplete"; }

# listing <name> <folder> <registry key>...: the folder's files (temporary folders aside) in
# <name>.files and the keys' values (time stamps aside) in <name>.values.
listing() {
    local name=$1 folder=$2 key n=0
    shift 2
    find "$folder" -path '*/Temp' -prune -o -path '*/temp' -prune -o -print | sort >"$name.files"
    for key in "$@"; do
        n=$((n + 1))
        wine reg export "$key" "$name.$n.reg" >/dev/null 2>&1
        iconv -f UTF-16 -t UTF-8 "$name.$n.reg" | tr -d '\r' | grep -v '^#time\|^$'
    done | sort >"$name.values"
}

# A link without a number, opened with the registered command as a browser would: the installed
# program starts and says why it cannot dial; its message box is shown in the artifact <shot>.png,
# answered, and the program ends.
open_tel_link() {
    local program=$1 shot=$2 box=""
    wine "$program" "tel:no-number" >/dev/null 2>&1 &
    for _ in $(seq 1 120); do
        box=$(xdotool search --name '^Kovra Assistant$' 2>/dev/null | head -n 1) && [ -n "$box" ] && break
        sleep 0.5
    done
    check "installed program started by a tel: link" [ -n "$box" ]
    mkdir -p "$build/tests/artifacts"
    import -window root "$build/tests/artifacts/$shot.png" 2>/dev/null || true
    xdotool key --window "$box" Return 2>/dev/null || true
    wait
    wineserver -w
}
