#!/usr/bin/env bash
# A real CUPS in front of the printer application: a private cupsd (its own ServerRoot in a
# folder of the test, listening on a loopback port, no system service) gets a driverless queue
# for the application's CP52 (lpadmin -m everywhere), and `lp` prints a PDF poster and a PNG.
# The streams that reach the application's file device must read back through `tarnwick
# inspect` with no fault, with the documents' pages and the colour mode's six inks.
# usage: cups_lp_test.sh APP TARNWICK        (exit 77: skipped, cupsd must run as root)
set -euo pipefail
source "$(dirname "$0")/servers.sh"
app=$1 tool=$2
here=$(cd "$(dirname "$0")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "cupsd runs as root with its own ServerRoot; skipped"; exit 77; }
command -v cupsd >/dev/null && [ -x /usr/lib/cups/filter/pdftopdf ] ||
  { echo "cupsd or cups-filters missing (scripts/setup installs them)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-cups-test.XXXXXX")
chmod 0755 "$work"  # CUPS runs its filters as lp
server="" cupsd=""
fail() {
  echo "FAIL: $*" >&2
  tail -n 30 "$work/cups/log/error_log" "$work/app/log" 2>/dev/null >&2 || true
  exit 1
}
stop() {
  [ -z "$cupsd" ] || end_process "$cupsd"
  [ -z "$server" ] || end_process "$server"
  rm -rf "$work"
}
trap stop EXIT

# The application, with its socket, state and device folder in the test's folder.
start_app "$app" "$work/app" || fail "the application did not start"
server=$app_pid aport=$app_port
mkdir -p "$work/app/prints"
TMPDIR=$work/app "$app" add -d CP52 -m tarnwick_cp52 -v "file://$work/app/prints" ||
  fail "cannot add the printer"

# The private CUPS.
cport=$(free_port)
c=$work/cups
mkdir -p "$c/root" "$c/spool/tmp" "$c/cache" "$c/state" "$c/log"
chown root:lp "$c/spool" "$c/spool/tmp" && chmod 0710 "$c/spool" && chmod 1770 "$c/spool/tmp"
cat >"$c/root/cupsd.conf" <<CONF
Listen 127.0.0.1:$cport
Browsing Off
LogLevel debug
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$c/root/cups-files.conf" <<CONF
ServerRoot $c/root
RequestRoot $c/spool
TempDir $c/spool/tmp
CacheDir $c/cache
StateDir $c/state
AccessLog $c/log/access_log
ErrorLog $c/log/error_log
PageLog $c/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
CONF
cupsd -f -c "$c/root/cupsd.conf" -s "$c/root/cups-files.conf" &
cupsd=$!
export CUPS_SERVER=127.0.0.1:$cport
for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
lpstat -r >/dev/null || fail "cupsd did not start"

lpadmin -p CP52 -E -v "ipp://localhost:$aport/ipp/print/CP52" -m everywhere ||
  fail "lpadmin -m everywhere could not make a queue for the application's CP52"
python3 "$here/make_poster_pdf.py" "$work/poster.pdf" 842 1191  # A3
python3 - "$work/photo.png" <<'PY'
import struct, sys, zlib
w, h = 600, 400
rows = b"".join(b"\0" + bytes(v for x in range(w) for v in (x * 255 // w, y * 255 // h, 128)) for y in range(h))
chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
open(sys.argv[1], "wb").write(png + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PY
lp -d CP52 -t poster -o media=iso_a3_297x420mm "$work/poster.pdf" || fail "lp refused the PDF"
lp -d CP52 -t photo -o media=iso_a4_210x297mm "$work/photo.png" || fail "lp refused the PNG"

# Both jobs leave CUPS and the application's queue, then both streams are read back.
for _ in $(seq 1200); do
  [ -z "$(lpstat -o 2>/dev/null)" ] && [ "$(ls "$work/app/prints" | wc -l)" -ge 2 ] &&
    ! TMPDIR=$work/app "$app" jobs -d CP52 | grep -qE 'pending|processing' && break
  sleep 0.25
done
[ -z "$(lpstat -o)" ] || fail "CUPS did not finish: $(lpstat -o)"
for name in poster photo; do
  file=$(ls "$work/app/prints"/*"$name"*.prn 2>/dev/null | head -1)
  [ -n "$file" ] || fail "no stream for $name in $(ls "$work/app/prints")"
  report=$("$tool" inspect "$file") || fail "inspect failed on $file"
  grep -q '^no faults$' <<<"$report" || fail "$name: $report"
  grep -q ', 1 page,' <<<"$report" || fail "$name: not one page: $report"
  grep -q 'raster: .* 6 planes' <<<"$report" || fail "$name: not the six inks: $report"
done
# The poster fills the printable width of A3 (297 mm less two 5 mm margins) at the stream's
# resolution, and keeps the PDF page's proportions (842 x 1191 points): its rows say so.
report=$("$tool" inspect "$work/app/prints"/*poster*.prn)
read -r rows dpi < <(sed -n 's/.*raster: [0-9]* x \([0-9]*\) pixels at \([0-9]*\) dpi.*/\1 \2/p' <<<"$report")
awk -v rows="$rows" -v dpi="$dpi" 'BEGIN { want = 287 / 25.4 * dpi * 1191 / 842;
  exit !(rows > 0.98 * want && rows < 1.02 * want) }' ||
  fail "the poster has $rows rows at $dpi dpi; its page at the printable width has about $(awk -v d="$dpi" 'BEGIN { printf "%d", 287 / 25.4 * d * 1191 / 842 }')"
echo "CUPS printed a PDF and a PNG through the printer application"
