# Runs inside the demo's Wine prefix: register the driver, ask it like a host.
set -u
bin="$1/bin"
out="$1/demo"
mkdir -p "$out"
timeout 60 "$WINELOADER" regsvr32 "$bin/VarnelRK50ASIO.dll" >"$out/regsvr32.txt" 2>&1
echo "regsvr32 VarnelRK50ASIO.dll: exit $?"
timeout 60 "$WINELOADER" "$bin/rk50host.exe" info >"$out/rk50host.txt" 2>"$out/rk50host.err"
rc=$?
cat "$out/rk50host.txt"
echo "rk50host info: exit $rc (1 = init found no converter)"
[ "$rc" -le 1 ]
