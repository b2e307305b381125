#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR and tries the installed programs,
# not the build folder: the layout, the RUNPATH, ttxdump on the demo, and the
# viewer started on the demo broadcast, also with no writable config or temp
# folder. With --package it builds the Debian package too and looks into it.
#   check-install.sh BUILD_DIR [--package]
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
root="$work/stage/usr"
programs="$root/lib/orv-teletext"

# Layout: the programs in their own folder, with their help file and
# language module beside them; links in bin; desktop entry, icons, man pages.
for program in orvtt ttxdump; do
  [ -L "$root/bin/$program" ] || fail "bin/$program is no link"
  [ "$(readlink -f "$root/bin/$program")" = "$programs/$program" ] || fail "bin/$program leads elsewhere"
done
for file in lib/orv-teletext/ENU.HLP lib/orv-teletext/orvtt.DEU lib/orv-teletext/replay/OrvTTCap.dll lib/orv-teletext/dvb/OrvTTCap.dll \
            lib/orv-teletext/tv/orvtt-v4l2tv.so lib/orv-teletext/tv/orvtt-simtv.so \
            share/applications/orv-teletext.desktop share/man/man1/orvtt.1.gz share/man/man1/ttxdump.1.gz \
            share/icons/hicolor/16x16/apps/orv-teletext.png share/icons/hicolor/256x256/apps/orv-teletext.png; do
  [ -f "$root/$file" ] || fail "$file is missing"
done
gzip -t "$root/share/man/man1/orvtt.1.gz" "$root/share/man/man1/ttxdump.1.gz"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/share/applications/orv-teletext.desktop"
fi
grep -qx 'Categories=AudioVideo;TV;Viewer;' "$root/share/applications/orv-teletext.desktop" || fail "categories"
grep -q '^Name\[de\]=' "$root/share/applications/orv-teletext.desktop" || fail "no German name"

# The RUNPATH names the installed capture library's folder, nothing of the build.
for program in orvtt ttxdump; do
  runpath="$(readelf -d "$programs/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
  [ "$runpath" = '$ORIGIN/replay' ] || fail "$program RUNPATH is '$runpath'"
  ! ldd "$programs/$program" | grep -q 'not found' || fail "$program: a library is missing"
done

"$root/bin/ttxdump" --demo 3 --list | grep -qx '100/0000' || fail "ttxdump lists no page 100"
"$root/bin/ttxdump" --help | head -1 | grep -q '^usage: ttxdump' || fail "ttxdump --help"

# The viewer on the demo broadcast: still running after the start (the
# capture library was found), ends in order on SIGTERM within 3 s.
run_viewer() {  # name, then env settings
  local name="$1"; shift
  env "$@" QT_QPA_PLATFORM=offscreen "$root/bin/orvtt" >"$work/$name.log" 2>&1 &
  local pid=$!
  sleep 3
  kill -0 "$pid" 2>/dev/null || fail "$name: the viewer ended by itself: $(cat "$work/$name.log")"
  kill -TERM "$pid"
  local waited=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1; waited=$((waited + 1))
    [ "$waited" -le 30 ] || { kill -KILL "$pid"; fail "$name: no end within 3 s of SIGTERM"; }
  done
  wait "$pid" || fail "$name: exit status $?"
}
mkdir -p "$work/tmp" "$work/run" && chmod 700 "$work/run"
run_viewer demo ORVTT_REGISTRY="$work/registry.reg" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/run"
grep -q '"VTXMode"=dword:00000000' "$work/registry.reg" || fail "the settings were not written at exit"
[ -z "$(ls -A "$work/tmp")" ] || fail "the font was left in the temp folder"
# No writable config or temp folder (both are files here, which even root
# cannot write into): it starts all the same and ends in order.
touch "$work/home" "$work/notatemp"
run_viewer readonly -u ORVTT_REGISTRY -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME="$work/home" TMPDIR="$work/notatemp"

if [ "${2:-}" = "--package" ]; then
  (cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
  deb="$(ls "$work"/package/orv-teletext_*.deb)"
  depends="$(dpkg-deb -f "$deb" Depends)"
  echo "$depends" | grep -q 'libqt6widgets6' || fail "Depends lacks Qt: $depends"
  contents="$(dpkg-deb -c "$deb")"
  for file in ./usr/bin/orvtt ./usr/lib/orv-teletext/replay/OrvTTCap.dll ./usr/share/applications/orv-teletext.desktop; do
    echo "$contents" | grep -q " $file" || fail "the package lacks $file"
  done
fi
echo "check-install: all well"
