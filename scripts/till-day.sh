#!/usr/bin/env bash
# A whole till day through the real library: builds the library and the tools, starts velmo-proxy-sim on
# 127.0.0.1:5001, and runs qzfp-host on examples/till-day.qzh in a fresh data folder: OPEN, status, a sale
# answered Yes, a sale answered No, a refund, a zero-total receipt, an X report and a Z report. Then shows
# what the till wrote and checks it. Exits non-zero when anything went wrong.
#
# Environment:
#   QZ_BUILD_DIR        build folder (default: build/)
#   QZ_SKIP_BUILD=1     use the build folder as it is
#   TILL_DAY_DIR        the day's folder, emptied first (default: <build folder>/till-day)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QZ_BUILD_DIR:-$root/build}"
day="${TILL_DAY_DIR:-$build/till-day}"

fail() {
  echo "till-day: FAILED: $*" >&2
  exit 1
}

if [[ "${QZ_SKIP_BUILD:-0}" != 1 ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target QZFP_VELMO_10 qzfp-host velmo-proxy-sim qzfp-confirm
fi
library="$build/QZFP_VELMO_10.so"
host="$build/tools/qzfp-host/qzfp-host"
proxy="$build/tools/velmo-proxy-sim/velmo-proxy-sim"
for f in "$library" "$host" "$proxy"; do [[ -x "$f" || -f "$f" ]] || fail "$f is not built"; done

rm -rf "$day"
mkdir -p "$day/data" "$day/app"
cp "$root/examples/QZPA_VELMO_10.ini" "$day/app/"

# The proxy: its first line on standard output says it is listening.
"$proxy" --log "$day/proxy.log" >"$day/proxy.out" 2>&1 &
proxy_pid=$!
stop_proxy() {
  if kill -0 "$proxy_pid" 2>/dev/null; then
    kill -TERM "$proxy_pid"
    wait "$proxy_pid" || true
  fi
}
trap stop_proxy EXIT
for _ in $(seq 50); do
  grep -q '^listening' "$day/proxy.out" 2>/dev/null && break
  kill -0 "$proxy_pid" 2>/dev/null || fail "velmo-proxy-sim did not start: $(cat "$day/proxy.out")"
  sleep 0.1
done
grep -q '^listening' "$day/proxy.out" || fail "velmo-proxy-sim did not start listening"
echo "velmo-proxy-sim: $(head -1 "$day/proxy.out")"

echo "=== qzfp-host: a till day (data in $day/data, logs and settings in $day/app)"
status=0
QZFP_DATA_ROOT="$day/data/" QZFP_APP_DIR="$day/app/" \
  "$host" --library "$library" --script "$root/examples/till-day.qzh" | tee "$day/host.out" || status=$?
stop_proxy
trap - EXIT
[[ $status == 0 ]] || fail "qzfp-host answered $status (see above)"

echo
echo "=== Files the till wrote"
(cd "$day" && find data app -type f | sort)
echo
echo "=== The proxy exchange"
cat "$day/proxy.log"

# What a correct day leaves behind.
till="$day/data/80E1234567"
receipts=$(find "$till/Processed" -name '[0-9][0-9][0-9][0-9]-[0-9][0-9][0-9][0-9].fprd' ! -name '*-9999.fprd' | wc -l)
snapshots=$(find "$till/Processed" -name '*-9999.fprd' | wc -l)
requests=$(grep -c ' request: ' "$day/proxy.log" || true)
[[ $receipts == 4 ]] || fail "expected 4 receipt journal files, found $receipts"
[[ $snapshots == 1 ]] || fail "expected 1 Z snapshot file, found $snapshots"
[[ -f "$till/counters.actual.fprc" && -f "$till/counters.previous.fprc" ]] || fail "counters files missing"
[[ $requests == 3 ]] || fail "expected 3 proxy requests (the zero-total receipt needs none), found $requests"
grep -q '"isPresent":true,"amount":12.5,"numberPieces":3,.*"typeDocument":"SC"' "$day/proxy.log" ||
  fail "the sale answered Yes did not reach the proxy as expected"
grep -q '"isPresent":false,"amount":30,"numberPieces":1,.*"typeDocument":"GC"' "$day/proxy.log" ||
  fail "the gift sale answered No did not reach the proxy as expected"
grep -q '"amount":10,"numberPieces":1,.*"typeDocument":"RS"' "$day/proxy.log" ||
  fail "the refund did not reach the proxy as expected"
grep -q '<DayOpened>False</DayOpened>' <(tail -20 "$day/host.out") || fail "the day is still open after the Z report"
echo
echo "till-day: OK ($day)"
