#!/bin/sh
# Adds Bandora to the desktop's application menu for the current user, pointing at this folder.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
icons="${XDG_DATA_HOME:-$HOME/.local/share}/icons/hicolor/128x128/apps"
mkdir -p "$apps" "$icons"
cp "$here/bandora.png" "$icons/bandora.png"
sed -e "s|^Exec=.*|Exec=\"$here/bandora\"|" -e "s|^Icon=.*|Icon=$here/bandora.png|" \
  "$here/bandora.desktop" >"$apps/bandora.desktop"
echo "Menu entry written to $apps/bandora.desktop"
