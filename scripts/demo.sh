#!/usr/bin/env bash
# Builds the definition tool natively and loads the example toolbar
# definition with it: the author's check, the model the definition loads
# into, then the toolbar built from it on a headless toolbar.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${QV_OUT:-$root/out}
jobs=${QV_JOBS:-2}

bash scripts/install-deps.sh
cmake -S . -B "$out/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$out/native" -j"$jobs" quorvane-tbdl
tool=$out/native/tools/quorvane-tbdl

echo
echo "\$ quorvane-tbdl check examples/quorvane.tbd"
"$tool" check examples/quorvane.tbd

echo
echo "\$ quorvane-tbdl load examples/quorvane.tbd"
"$tool" load examples/quorvane.tbd

echo
echo "\$ quorvane-tbdl show examples/quorvane.tbd"
"$tool" show examples/quorvane.tbd

# The real quorvane.dll in the test browser window under Wine: the Windows
# x86_64 build, a private prefix, the DLL registered there, the example
# toolbar shown for a page, a search typed into it, and its picture.
wine=$(command -v wine64 || true)
[[ -z $wine && -x /usr/lib/wine/wine64 ]] && wine=/usr/lib/wine/wine64
if [[ -z $wine ]] || ! command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  echo
  echo "demo: Wine or the mingw-w64 compilers are missing; the Windows part is skipped"
  exit 0
fi
echo
echo "\$ building quorvane.dll and testhost.exe for Windows x86_64"
cmake --no-warn-unused-cli -S . -B "$out/win64" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
ninja -C "$out/win64" -j"$jobs" quorvane testhost >/dev/null

demo=$out/demo
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEARCH=win64
unset DISPLAY
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=wineserver
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
rm -rf "$demo"
mkdir -p "$demo/bin"
echo "\$ making a private Wine prefix (null graphics driver, no crash dialog)"
WINEDLLOVERRIDES="mscoree=;mshtml=" timeout 300 "$wine" wineboot -i >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  >/dev/null 2>&1
"$wineserver" -w || true
# One server for every run, with the desktop started before the DLL is
# registered: a desktop started later would load the registered band and
# the DLL refuses that host.
"$wineserver" -p120
timeout 60 "$wine" rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
# Registration installs the toolbar, which opens the system's browser on
# the after-install page: here the test host is the browser, so Wine's own
# is taken out of the prefix. The vendor's site is out of reach on this
# machine; a closed port on loopback says so at once.
for view in 32 64; do
  timeout 60 "$wine" reg delete 'HKCR\CLSID\{0002DF01-0000-0000-C000-000000000046}\LocalServer32' \
    /f "/reg:$view" >/dev/null 2>&1 || true
done
export QUORVANE_BASE_URL=http://127.0.0.1:9/
# The DLL reads its definition from its own folder: a copy of it is
# registered beside the browser button's icons, as the installer leaves
# it, and testhost puts the example definition beside it.
cp "$out/win64/src/quorvane.dll" "$root"/examples/*.ico "$demo/bin/"
win() { echo "Z:${1//\//\\}"; }
echo "\$ testhost.exe --json --register quorvane.dll --definition-dir examples --page ... --snapshot toolbar.png"
timeout 120 "$wine" "$out/win64/testhost/testhost.exe" --json \
  --register "$(win "$demo/bin/quorvane.dll")" --definition-dir "$(win "$root/examples")" \
  --page http://www.example.com/ --search "1026=toolbar demo" \
  --snapshot "$(win "$demo/toolbar.png")" >"$demo/testhost.json"
python3 - "$demo/testhost.json" <<'PY'
import json, sys
run = json.load(open(sys.argv[1]))
print("loaded:", run["loaded"])
print("band info (first three answers):",
      [(b["minSize"], b["actual"], b["modeFlags"]) for b in run["bandInfo"]])
print("buttons:", ", ".join(f'{b["id"]} "{b["text"]}"' for b in run["buttons"]))
print("controls:", ", ".join(c["class"] for c in run["controls"]))
print("messages:", run["messages"])
print("navigations:", [n["url"] for n in run["navigations"]])
print("events:", ", ".join(f'{e["event"]}({e["sinks"]} sinks)' for e in run["events"]))
print("references after teardown all back:", run["references"]["allBack"])
PY
echo "picture: $demo/toolbar.png"

# A desktop alert: the example definition with alerts on, its script served
# by a web server on loopback; the band's alert timer fetches it after 15 s
# and the alert slides up (testhost stands in for the page's browser control).
alertdef=$demo/alert-definition
rm -rf "$alertdef" "$demo/www"
mkdir -p "$alertdef" "$demo/www"
cp "$root"/examples/*.bmp "$alertdef/"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e 's|"EnableDesktopAlerts" value = "[^"]*"|"EnableDesktopAlerts" value = "1"|' \
  -e 's|"AlertsCheckInterval" value = "[^"]*"|"AlertsCheckInterval" value = "-1"|' \
  -e "s|\"AlertScriptURL\" value = \"[^\"]*\"|\"AlertScriptURL\" value = \"http://127.0.0.1:$port/alert.txt\"|" \
  "$root/examples/quorvane.tbd" >"$alertdef/quorvane.tbd"
printf 'ShowDesktopAlert=1\r\nURL=http://www.example.com/alerts/today.html\r\nWidth=300\r\nHeight=200\r\nShowAnimTime=500\r\nHideAutomaticaly=0\r\n' \
  >"$demo/www/alert.txt"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$demo/www" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; "$wineserver" -k >/dev/null 2>&1 || true' EXIT
echo "\$ quorvane-tbdl alert alert-definition/quorvane.tbd --script http://127.0.0.1:$port/alert.txt | head -12"
sleep 0.5
"$tool" alert "$alertdef/quorvane.tbd" --registry "$demo/alert-settings.reg" \
  --script "http://127.0.0.1:$port/alert.txt" | head -12
rm -f "$demo/alert-settings.reg"
echo "\$ testhost.exe --json --register quorvane.dll --definition-dir alert-definition --alert-wait 40000 --alert-snapshot alert.png"
timeout 120 "$wine" "$out/win64/testhost/testhost.exe" --json \
  --register "$(win "$demo/bin/quorvane.dll")" --definition-dir "$(win "$alertdef")" \
  --page http://www.example.com/ --alert-wait 40000 \
  --alert-snapshot "$(win "$demo/alert.png")" >"$demo/testhost-alert.json"
python3 - "$demo/testhost-alert.json" <<'PY'
import json, sys
run = json.load(open(sys.argv[1]))
print("alert:", run.get("alert"))
PY
kill $server 2>/dev/null || true
echo "picture: $demo/alert.png"

# The options sheet: the example definition with a button for each of its
# three services in front, two POP3 accounts in the settings, and a
# picture of each page.
echo
echo "\$ testhost.exe ... --click OPTIONS-BUTTON --sheet snapshot=options-*.png --sheet cancel"
mkdir -p "$demo/options-def"
cp "$root"/examples/*.bmp "$demo/options-def/"
python3 - "$root/examples/quorvane.tbd" "$demo/options-def/quorvane.tbd" <<'PY'
import sys
text = open(sys.argv[1], "rb").read()
key = b'hotimage = "tbhotil.bmp"\n'
at = text.index(key) + len(key)
buttons = (b'  BUTTON { name = "opts" caption = "Options" command = "options" }\n'
           b'  BUTTON { name = "blk" caption = "Blocker" command = "configure_blocker" }\n'
           b'  BUTTON { name = "pop" caption = "POP3" command = "configure_pop3" }\n')
open(sys.argv[2], "wb").write(text[:at] + buttons + text[at:])
PY
accounts='HKCU\Software\Ostrivel\quorvane\POP3 Accounts'
scrambled() {
  python3 -c 'import sys
key = b"QWT593ZP#&71MMR"
print("".join("%02x" % (b ^ key[i % 15]) for i, b in enumerate(sys.argv[1].encode())))' "$1"
}
reg_add() { timeout 60 "$wine" reg add "$accounts" "$@" /f >/dev/null 2>&1; }
reg_add /v NumberOfConfiguredAccounts /t REG_DWORD /d 2
n=1
for account in "pop.example.test ann 10 http://mail.example.test/" "mail.example.test bob 0 -"; do
  set -- $account
  reg_add /v "POP3Server$n" /d "$1"
  reg_add /v "POP3Account$n" /d "$2"
  reg_add /v "POP3Password$n" /t REG_BINARY /d "$(scrambled "secret$n")"
  reg_add /v "CheckInterval$n" /d "$3"
  reg_add /v "UseSPA$n" /d "$((n - 1))"
  [[ $4 == - ]] || reg_add /v "WebFront$n" /d "$4"
  n=$((n + 1))
done
for page in "1024 items" "1025 popup" "1026 pop3"; do
  set -- $page
  timeout 120 "$wine" "$out/win64/testhost/testhost.exe" --json \
    --register "$(win "$demo/bin/quorvane.dll")" --definition-dir "$(win "$demo/options-def")" \
    --no-follow --click "$1" --sheet "snapshot=$(win "$demo/options-$2.png")" --sheet cancel \
    >"$demo/options-$2.json" || echo "demo: the $2 page's run failed (see $demo/options-$2.json)"
  if [[ -f $demo/options-$2.png ]]; then echo "picture: $demo/options-$2.png"; fi
done
