#!/usr/bin/env bash
# The printer application under clients nobody here wrote. Starts the application on a free
# loopback port with its spool, state, log and devices in a folder of its own, adds one printer
# per model, and then:
#   full:  runs CUPS' ipptool with its ipp-everywhere.test against every printer (fed with PWG
#          raster samples made here), prints a PDF poster, cancels a banner in mid-job;
#   short: a PDF card (the sanitizer build's run: the application's own code, from the raster
#          callbacks through the driver to the device, under ASan and UBSan).
# Every stream that reached a device must read back through `tarnwick inspect` without a fault.
# usage: printer_app_test.sh APP PWG_SAMPLES TARNWICK full|short
set -euo pipefail
source "$(dirname "$0")/servers.sh"
app=$1 samples=$2 tool=$3 scope=${4:-full}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-app-test.XXXXXX")
export TMPDIR=$work HOME=$work XDG_CONFIG_HOME=$work  # the app's socket and files stay here
server=""
fail() { echo "FAIL: $*" >&2; [ -f "$work/log" ] && tail -n 40 "$work/log" >&2; exit 1; }
stop() {
  [ -z "$server" ] || end_process "$server"
  rm -rf "$work"
}
trap stop EXIT

# Raster documents at each printer's lowest resolution only, so that ipptool's whole print
# matrix (36 jobs a printer) stays within the suite's time; higher resolutions are the same code
# at more pixels.
start_app "$app" "$work" -o raster-max-dpi=180 || fail "the application did not start"
server=$app_pid port=$app_port

# name:driver; each printer writes into a folder of its own.
printers="Generic:tarnwick_generic_rtl ASBRU:tarnwick_asbru_v3c CP52:tarnwick_cp52 CP52-LM:tarnwick_cp52_lm SP-1400C:tarnwick_coldstream_sp_1400c"
for entry in $printers; do
  name=${entry%%:*}
  mkdir -p "$work/out/$name"
  "$app" add -d "$name" -m "${entry#*:}" -v "file://$work/out/$name" || fail "cannot add $name"
done

# Waits until job $2 of printer $1 has ended; prints its state.
job_state() {
  local state=""
  for _ in $(seq 600); do
    state=$("$app" jobs -d "$1" | awk -v id="$2" '$1 == id { print $2 }')
    case "$state" in completed|canceled|aborted) echo "$state"; return;; esac
    sleep 0.2
  done
  echo "timeout"
}

# Waits until printer $1 has no job pending or processing (Print-Job answers before the job ends).
wait_idle() {
  for _ in $(seq 1500); do
    "$app" jobs -d "$1" | grep -qE ' (pending|processing|held) ' || return 0
    sleep 0.2
  done
  fail "$1 still has jobs: $("$app" jobs -d "$1")"
}

# Every stream in a printer's folder reads back whole: the pages asked for, no fault.
check_streams() {
  local name=$1 pages=$2 file report
  for file in "$work/out/$name"/*.prn; do
    report=$("$tool" inspect "$file") || fail "inspect failed on $file"
    grep -q '^no faults$' <<<"$report" || fail "$file: $report"
  done
  [ "$(ls "$work/out/$name"/*.prn | wc -l)" -ge "$pages" ] || fail "$name: too few streams"
}

if [ "$scope" = full ]; then
  # Real samples at the resolutions the printers take raster documents at (180 dpi, and 360 for
  # the CP52-LM, whose lowest it is), in both raster types they take. ipptool reads every FILE
  # of the test file before it starts, even those of tests it skips because the printer lacks
  # their resolution or type: those get empty files, which are never sent.
  for dpi in 180 360; do
    "$samples" "$work" "$dpi" sgray_8 srgb_8 || fail "cannot make the PWG samples"
  done
  cp /usr/share/cups/ipptool/ipp-everywhere.test "$work/"
  (cd "$work" && grep -oE '^\s*FILE \S+' ipp-everywhere.test | awk '{ print $2 }' | sort -u |
    while read -r file; do
      [ -e "$file" ] || { mkdir -p "$(dirname "$file")"; : >"$file"; }
    done)
  pids=()
  for entry in $printers; do
    name=${entry%%:*}
    (cd "$work" && ipptool -t "ipp://localhost:$port/ipp/print/$name" ipp-everywhere.test \
      >"$work/ipptool-$name.txt" 2>&1) &
    pids+=($!)
  done
  i=0
  for entry in $printers; do
    name=${entry%%:*}
    wait "${pids[$i]}" || { cat "$work/ipptool-$name.txt" >&2; fail "ipp-everywhere.test fails on $name"; }
    i=$((i + 1))
  done
  grep -c '\[PASS\]' "$work"/ipptool-*.txt
  for entry in $printers; do
    name=${entry%%:*}
    wait_idle "$name"
    "$app" jobs -d "$name" | awk '$2 != "completed" { bad = 1 } END { exit bad }' ||
      fail "$name has jobs that did not complete: $("$app" jobs -d "$name")"
    check_streams "$name" 6  # one file per job name
  done
fi

# A PDF, rendered by Poppler and printed through the driver: an A2 poster (a 4 x 6 inch card in
# the short run).
if [ "$scope" = full ]; then
  python3 "$here/make_poster_pdf.py" "$work/poster.pdf" 1190 1684
  media=iso_a2_420x594mm
else
  python3 "$here/make_poster_pdf.py" "$work/poster.pdf" 288 432
  media=na_index-4x6_4x6in
fi
rm -f "$work/out/CP52"/*.prn
id=$("$app" submit -d CP52 -o print-quality=3 -o media=$media "$work/poster.pdf")
[ "$(job_state CP52 "${id##*-}")" = completed ] || fail "the PDF poster did not print"
check_streams CP52 1
grep -q 'raster: .* 6 planes' <<<"$("$tool" inspect "$work/out/CP52"/*.prn)" || fail "poster: not six inks"

# Printer defaults outlive a restart, set over IPP or on the web's driver options page (the
# driver's own page and rules: advancing off closes the cut switch), and a job's own attributes
# win over them. The page is worked in both runs: it is the module's code, driven by this host.
# The form field of the page's control labelled $1 in the page $2.
control() { grep -oE "name=\"c[0-9]+\"[^<]*> $1" <<<"$2" | grep -oE 'c[0-9]+' | head -n 1; }
"$app" modify -d CP52 -o tarnwick-page-spacing-default=30-mm || fail "cannot set a printer default"
page=http://localhost:$port/CP52/driver-options
html=$(curl -fsS "$page") || fail "no driver options page"
session=$(sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p' <<<"$html")
crop=$(control "Print crop mark" "$html") advance=$(control "Advance after print" "$html")
cut=$(control "Cut sheet after printing" "$html")
[ -n "$session" ] && [ -n "$crop" ] && [ -n "$advance" ] && [ -n "$cut" ] ||
  fail "the driver options page lacks its controls: $html"
# A forged form (hidden OK button, unknown controls, a value past the list) changes nothing.
spacing=$(grep -oE 'select name="c[0-9]+"' <<<"$html" | grep -oE 'c[0-9]+' | head -n 1)
for forged in c1=1 "$spacing=77" "$spacing=-1"; do
  html=$(curl -fsS "$page" -d "session=$session" -d "controls=1,x,99999,${spacing#c}" \
    -d "$forged") || fail "a forged form ($forged) broke the page"
  ! grep -q 'Changes saved' <<<"$html" || fail "a forged form ($forged) changed the settings"
done
# Crop marks ticked, advancing unticked (absent from the form), nothing else touched.
html=$(curl -fsS "$page" -d "session=$session" -d "controls=${crop#c},${advance#c}" -d "$crop=1")
grep -q 'Changes saved' <<<"$html" || fail "the driver options were not saved: $html"
if [ "$scope" = full ]; then
  end_process "$server"
  start_app "$app" "$work" -o raster-max-dpi=180 || fail "the application did not start again"
  server=$app_pid page=http://localhost:$app_port/CP52/driver-options
  html=$(curl -fsS "$page")
  grep -qE "name=\"$crop\" value=\"1\" checked" <<<"$html" || fail "crop marks off after a restart"
  grep -qE "name=\"$cut\" value=\"1\" disabled" <<<"$html" || fail "cut open without advancing"
  grep -q '<option value="3" selected>30 mm' <<<"$html" || fail "the page does not show IPP's default"
  rm -f "$work/out/CP52"/*.prn
  python3 "$here/make_poster_pdf.py" "$work/card.pdf" 288 432  # 4 x 6 inches
  for spacing in default none; do
    options=(-o print-quality=3 -o media=na_index-4x6_4x6in)
    [ "$spacing" = default ] || options+=(-o tarnwick-page-spacing="$spacing" -o tarnwick-crop-marks=no)
    id=$("$app" submit -d CP52 -t "spacing-$spacing" "${options[@]}" "$work/card.pdf")
    [ "$(job_state CP52 "${id##*-}")" = completed ] || fail "the card ($spacing) did not print"
  done
  grep -q 'SPACE=30 .*CROPMARK=ON' <<<"$("$tool" inspect "$work/out/CP52/spacing-default.prn")" ||
    fail "the printer defaults were lost"
  grep -q 'SPACE=0 .*CROPMARK=OFF' <<<"$("$tool" inspect "$work/out/CP52/spacing-none.prn")" ||
    fail "the job's attributes did not win over the printer defaults"
fi

# A banner cancelled while it prints: the stream ends with the abort page end, and the next job
# prints normally.
if [ "$scope" = full ]; then
  "$samples" --banner "$work/banner.pwg" 180 12 600 || fail "cannot make the banner"
  rm -f "$work/out/CP52"/*.prn
  # The client sends while the printer prints, so it is still sending when the job is cancelled.
  "$app" submit -d CP52 -t banner "$work/banner.pwg" >/dev/null 2>&1 &
  client=$!
  for _ in $(seq 600); do
    [ -n "$(find "$work/out/CP52" -name 'banner.prn' -size +64k)" ] && break
    sleep 0.1
  done
  id=$("$app" jobs -d CP52 | awk '$2 == "processing" { print $1 }')
  [ -n "$id" ] || fail "the banner is not printing: $("$app" jobs -d CP52)"
  "$app" cancel -d CP52 -j "$id" || fail "Cancel-Job was refused"
  [ "$(job_state CP52 "$id")" = canceled ] || fail "the banner was not canceled"
  wait "$client" || true  # the server stops reading the cancelled document
  report=$("$tool" inspect "$work/out/CP52"/*.prn || true)
  grep -q 'aborted' <<<"$report" || fail "the cancelled stream does not end with the abort page end: $report"
  rm -f "$work/out/CP52"/*.prn
  id=$("$app" submit -d CP52 "$work/poster.pdf")
  [ "$(job_state CP52 "${id##*-}")" = completed ] || fail "the job after the cancel did not print"
  check_streams CP52 1
fi
echo "printer application: $scope run passed"
