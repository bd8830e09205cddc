#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks that the program, its icons, desktop entry
# and metainfo land where desktops look for them and pass the desktop's own validators, then
# opens a "tanvill:" link with xdg-open against that prefix alone and checks that it reaches the
# running program. Usage: install-test.sh <build folder>
set -euo pipefail
build=$1
root=$(mktemp -d)
program_pid=
cleanup() {
    if [[ -n $program_pid ]]; then kill "$program_pid" 2>/dev/null || true; wait "$program_pid" 2>/dev/null || true; fi
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$root/prefix
cmake --install "$build" --prefix "$prefix" > "$root/install.log" || { cat "$root/install.log"; fail "cmake --install"; }

id=com.tanvill.Tanvill
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
[[ -x $prefix/bin/tanvill ]] || fail "bin/tanvill is missing or not executable"
[[ -f $desktop ]] || fail "the desktop entry is missing"
[[ -f $metainfo ]] || fail "the metainfo is missing"
[[ -f $prefix/share/icons/hicolor/scalable/apps/$id.svg ]] || fail "the scalable icon is missing"
for size in 16 24 32 48 64 128 256 512; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    [[ -f $png ]] || fail "the ${size}px icon is missing"
    # A PNG's width and height stand big-endian at bytes 16 to 23.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [[ $width == "$size" && $height == "$size" ]] || fail "the ${size}px icon is ${width}x${height}"
done

grep -qx "Exec=$prefix/bin/tanvill %u" "$desktop" || fail "Exec does not run the installed program: $(grep ^Exec= "$desktop")"
grep -qx "MimeType=x-scheme-handler/tanvill;" "$desktop" || fail "the desktop entry does not take tanvill: links"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate"

# A desktop made of this prefix only: no session, no desktop environment, fresh user folders.
home=$root/home
mkdir -p "$home/.config" "$home/.local/share" "$home/.cache" "$root/runtime"
chmod 700 "$root/runtime"
update-desktop-database "$prefix/share/applications"
isolated=(env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config"
    XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$root/runtime"
    XDG_DATA_DIRS="$prefix/share" XDG_CONFIG_DIRS="$root/etc" QT_QPA_PLATFORM=offscreen
    TANVILL_STORE_URL=http://127.0.0.1:9 ASAN_OPTIONS="${ASAN_OPTIONS:-}"
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")
[[ $("${isolated[@]}" xdg-mime query default x-scheme-handler/tanvill) == "$id.desktop" ]] ||
    fail "the installed entry is not the handler of tanvill: links"

"${isolated[@]}" "$prefix/bin/tanvill" > "$root/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 200); do
    [[ -S $root/runtime/$id.instance ]] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$root/program.log"; fail "the program ended at start"; }
    sleep 0.1
done
[[ -S $root/runtime/$id.instance ]] || fail "the program does not listen for later launches"

link='tanvill:///addApp?id=904280696'
# xdg-open looks for a link's handler only when it believes a display exists; nothing draws.
"${isolated[@]}" DISPLAY=:0 xdg-open "$link" || fail "xdg-open $link"
for _ in $(seq 100); do
    grep -qF "Message from another launch: $link" "$root/program.log" && break
    sleep 0.1
done
grep -qF "Message from another launch: $link" "$root/program.log" || { cat "$root/program.log"; fail "the link did not reach the running program"; }

kill -TERM "$program_pid"
status=0; wait "$program_pid" || status=$?
[[ $status == 0 ]] || { cat "$root/program.log"; fail "the program ended with status $status"; }
program_pid=
echo "install: the files land, validate, and xdg-open hands tanvill: links to the running program"
