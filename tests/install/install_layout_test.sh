#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout the desktop and the
# programs rely on: programs in bin/, the help and shipped files in share/sonorell/, the
# launcher, AppStream metadata and icons where the desktop looks, all of them valid, and
# the installed window program answering --version without a display.
# usage: install_layout_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d /tmp/sonorell-install-XXXXXX)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
expect() {
  if [ -e "$prefix/$1" ]; then echo "ok: $1"; else echo "MISSING: $1"; fail=1; fi
}
expect bin/sonorell-cli
expect share/sonorell/sonorell.html
expect share/sonorell/sonorell-windows-media.html
expect share/sonorell/sonorell-sound-font.html
expect share/sonorell/sonorell-help.css
expect share/applications/org.sonorell.Sonorell.desktop
expect share/metainfo/org.sonorell.Sonorell.metainfo.xml
expect share/icons/hicolor/scalable/apps/org.sonorell.Sonorell.svg
expect share/man/man1/sonorell.1
expect share/man/man1/sonorell-cli.1
expect share/bash-completion/completions/sonorell-cli
for size in 16 24 32 48 64 128 256; do
  expect "share/icons/hicolor/${size}x${size}/apps/org.sonorell.Sonorell.png"
done
# Nothing the programs look for beside themselves is left in bin/.
if ls "$prefix/bin" | grep -qv '^sonorell\(-cli\)\?$'; then
  echo "UNEXPECTED in bin/: $(ls "$prefix/bin" | tr '\n' ' ')"
  fail=1
fi

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/org.sonorell.Sonorell.desktop" && echo "ok: desktop entry valid" || fail=1
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.sonorell.Sonorell.metainfo.xml" >/dev/null && echo "ok: metainfo valid" || fail=1
fi
if [ -e "$prefix/bin/sonorell" ]; then
  version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/sonorell" --version)"
  case "$version" in sonorell\ [0-9]*) ;; *) fail=1 ;; esac
  echo "ok: installed sonorell --version: $version"
fi
# The installed batch command converts.
sox -n -r 44100 -c 2 -b 16 "$prefix/tone.wav" synth 1 sine 440 2>/dev/null
HOME="$prefix" XDG_CONFIG_HOME="$prefix/config" "$prefix/bin/sonorell-cli" convert --format flac \
  --out "$prefix/out" "$prefix/tone.wav" >/dev/null && [ -s "$prefix/out/tone.flac" ] \
  && echo "ok: installed sonorell-cli converts" || { echo "installed sonorell-cli failed"; fail=1; }
exit "$fail"
