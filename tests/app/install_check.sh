#!/usr/bin/env bash
# Installs the build tree into an empty prefix with an empty settings store,
# as the run script does, and checks what a user's desktop then finds.
#   install_check.sh <build tree>
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELVANE_REGISTRY_ROOT=$work/registry XDG_CONFIG_HOME=$work/config
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }

for f in kelvane kelvane-setup Help.html sound/notify.wav share/applications/kelvane.desktop \
         share/icons/hicolor/48x48/apps/kelvane.png share/icons/hicolor/16x16/apps/kelvane.png; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done

# The help page's pictures and pages sit beside it.
grep -o -E '(href|src)="[^"#]+' "$prefix/Help.html" | sed -E 's/^(href|src)="//' | sort -u | while read -r link; do
  [ -f "$prefix/$link" ] || fail "Help.html links to $link, which is not installed"
done

entry=$prefix/share/applications/kelvane.desktop
if command -v desktop-file-validate >/dev/null; then
  said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $said"
  [ -z "$said" ] || fail "desktop-file-validate: $said"
else
  echo "desktop-file-validate is not installed; the entry is not validated" >&2
fi
exec_line=$(grep '^Exec=' "$entry")
[ "$exec_line" = "Exec=$prefix/kelvane" ] || fail "unexpected $exec_line"
[ -x "$prefix/kelvane" ] || fail "the entry's program is not executable"

# The first-run values are in the store, and a second install step changes nothing.
general=$(find "$KELVANE_REGISTRY_ROOT" -path '*General*' -name values.json | head -n1)
[ -n "$general" ] || fail "no General key in the store"
grep -q 'MP3 - MPEG-1 Audio Layer 3 (\*.mp3)' "$general" || fail "no default format in $general"
# WAV outputs of a fresh store are stereo CD audio.
wav=$(find "$KELVANE_REGISTRY_ROOT" -path '*Formats*WAV*' -name values.json | head -n1)
[ -n "$wav" ] || fail "no Formats\\WAV key in the store"
grep -q '"cboChannelsWAV": "1"' "$wav" || fail "no stereo WAV default in $wav"
before=$(find "$KELVANE_REGISTRY_ROOT" -type f -exec md5sum {} + | sort; find "$KELVANE_REGISTRY_ROOT" -type f -printf '%p %T@\n' | sort)
sleep 0.05
QT_QPA_PLATFORM=offscreen "$prefix/kelvane-setup" --program-dir "$prefix" >/dev/null || fail "second install step"
after=$(find "$KELVANE_REGISTRY_ROOT" -type f -exec md5sum {} + | sort; find "$KELVANE_REGISTRY_ROOT" -type f -printf '%p %T@\n' | sort)
[ "$before" = "$after" ] || fail "the second install step changed the store"
echo "install layout ok"
