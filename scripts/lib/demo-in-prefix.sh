# Runs inside the demo's Wine prefix: register the simulator flavour of the
# driver, then stream a loopback through the simulated converter as a host.
set -u
bin="$1/bin"
out="$1/demo"
rate=${DEMO_RATE:-48000}
buffer=${DEMO_BUFFER:-256}
bits=${DEMO_BITS:-24}
seconds=${DEMO_SECONDS:-4}
mkdir -p "$out"
rm -f "$out/played.wav" "$out/recorded.wav"

# Wine shows the Unix root as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# One converter that keeps what it plays and loops it back to its inputs.
path='\\?\USB#VID_3A5C&PID_0050&MI_00#6&1A2B3C4&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\GLOBAL'
cat >"$out/machine.cfg" <<CFG
wavein = $path | Varnel RK50
waveout = $path | Varnel RK50
friendly = USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000 | Varnel RK50 USB Audio
source = loopback
loopback_delay = 1000
capture_wav = $(windows_path "$out/played.wav")
CFG
export RK50SIM_CONFIG
RK50SIM_CONFIG=$(windows_path "$out/machine.cfg")

# regsvr32 finds rk50sim.dll beside the driver when run from that folder.
(cd "$bin/sim" && timeout 60 "$WINELOADER" regsvr32 /s VarnelRK50ASIO.dll) >"$out/regsvr32.txt" 2>&1
echo "regsvr32 sim\\VarnelRK50ASIO.dll (the driver built against the converter simulator): exit $?"

timeout 60 "$WINELOADER" "$bin/rk50host.exe" info >"$out/info.txt" 2>&1
grep -E "^(driver|inputs|channel|rates|buffer)" "$out/info.txt" | head -12

echo "== loopback: $seconds s at $rate Hz, $buffer frames, $bits bits"
timeout $((seconds + 60)) "$WINELOADER" "$bin/rk50host.exe" loopback --rate "$rate" --bits "$bits" \
    --buffer "$buffer" --seconds "$seconds" --record "$(windows_path "$out/recorded.wav")" \
    >"$out/loopback.txt" 2>&1
rc=$?
cat "$out/loopback.txt"
echo "the converter's loop-back delay: 1000 frames (machine.cfg)"
for f in played recorded; do
    [ -f "$out/$f.wav" ] && echo "$f: $out/$f.wav ($(stat -c %s "$out/$f.wav") bytes)"
done
echo "rk50host loopback: exit $rc"
exit $rc
