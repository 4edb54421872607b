#!/usr/bin/env bash
# quorvane-setup.exe /S under 32-bit Wine, then its uninstaller /S: the
# files land in the installation folder and leave it again, and the COM and
# browser registration appears and goes with them.
#
#   silent_install_test.sh SETUP_EXE WINE_LOADER
#
# Runs in the prefix of $WINEPREFIX (the i686 stage's). Nothing here may
# wait for a person: the installer and uninstaller run silently, every Wine
# call has a time limit, and the browser's local server is taken out of the
# prefix first, so the after-install page opens no browser process.
set -u -o pipefail
setup=$1
wine=$2
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"

fail() {
  echo "FAILED: $*"
  exit 1
}
run() { timeout 120 "$wine" "$@" </dev/null; }
reg_has() { run reg query "$@" >/dev/null 2>&1; }

band='{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrivelquorvane'
# A 32-bit installer on 64-bit Windows puts Program Files (x86) first.
dir=
for candidate in "$WINEPREFIX/drive_c/Program Files (x86)/Ostrivel/quorvane" \
  "$WINEPREFIX/drive_c/Program Files/Ostrivel/quorvane"; do
  [[ -d $(dirname "$candidate") ]] && [[ -z $dir ]] && dir=$candidate
done
[[ -n $dir ]] || dir="$WINEPREFIX/drive_c/Program Files (x86)/Ostrivel/quorvane"

for view in 32 64; do
  run reg delete 'HKCR\CLSID\{0002DF01-0000-0000-C000-000000000046}\LocalServer32' /f "/reg:$view" \
    >/dev/null 2>&1
done
rm -rf "$dir"
# Other cases of the stage register the built DLL in this prefix and may
# leave it registered: start from a prefix without it.
run reg delete "HKCR\\CLSID\\$band" /f /reg:32 >/dev/null 2>&1
run reg delete 'HKCR\TBW.quorvane' /f /reg:32 >/dev/null 2>&1
run reg delete 'HKLM\Software\Microsoft\Internet Explorer\Toolbar' /v "$band" /f /reg:32 >/dev/null 2>&1
reg_has "HKCR\\CLSID\\$band" /reg:32 && fail "the band class is registered before the installation"

run "$setup" /S || fail "quorvane-setup.exe /S exited with $?"
for f in quorvane.dll quorvane.tbd tbil.bmp tbhotil.bmp siebi.ico siebihi.ico uninstall.exe; do
  [[ -f $dir/$f ]] || fail "$f is missing from $dir after the installation"
done
reg_has "HKCR\\CLSID\\$band\\InprocServer32" /reg:32 || fail "the band class is not registered"
reg_has 'HKCR\TBW.quorvane' /reg:32 || fail "the ProgID TBW.quorvane is not registered"
reg_has 'HKLM\Software\Microsoft\Internet Explorer\Toolbar' /v "$band" /reg:32 ||
  fail "the browser's toolbar list does not name the band"
reg_has "$uninstall_key" /v UninstallString /reg:32 || fail "no installed-programs entry"
run reg query "$uninstall_key" /v UninstallString /reg:32 | grep -qi 'uninstall.exe' ||
  fail "the installed-programs entry does not run the uninstaller"
echo "installed: $(ls "$dir" | tr '\n' ' ')"

# The uninstaller copies itself elsewhere and returns at once; its copy
# removes the folder.
run "$dir/uninstall.exe" /S || fail "uninstall.exe /S exited with $?"
for _ in $(seq 1 120); do
  [[ -e $dir ]] || break
  sleep 0.5
done
[[ -e $dir ]] && fail "the installation folder is still there: $(ls -A "$dir" | tr '\n' ' ')"
reg_has "HKCR\\CLSID\\$band" /reg:32 && fail "the band class is still registered"
reg_has 'HKCR\TBW.quorvane' /reg:32 && fail "the ProgID is still registered"
reg_has 'HKLM\Software\Microsoft\Internet Explorer\Toolbar' /v "$band" /reg:32 &&
  fail "the browser's toolbar list still names the band"
echo "uninstalled: the folder and the registration are gone"
echo "PASSED"
