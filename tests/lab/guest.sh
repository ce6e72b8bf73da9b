#!/bin/bash
# The lab's cases, inside the guest (see run-lab): the host's root read-only,
# /tmp and /run fresh, /run/lab the host's exchange folder. Each case_NAME
# prints what it checks and returns non-zero on the first thing that fails.
set -u
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
. /run/lab/env
LAB_PORT=$BUILD/tests/lab/kelvt-lab-port
LAB_DEVICES=$GUI_BUILD/tests/lab/kelvt-lab-devices
export HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/.config XDG_STATE_HOME=/tmp/home/state
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
# udev refuses to work in a chroot unless told.
export SYSTEMD_IGNORE_CHROOT=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
# Two FT232 adapters: the first is pulled and put back, the second stays
# and carries the commands beside the UART meanwhile.
SERIAL=LAB0001
BY_ID=/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_$SERIAL-if00-port0
BY_ID2=/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_LAB0002-if00-port0
SETTINGS=$XDG_CONFIG_HOME/kelvt.INI
exec > >(tee /run/lab/guest.log) 2>&1

# ---- helpers ---------------------------------------------------------------

ms() { local t; read -r t _ < /proc/uptime; echo $(( ${t/./} * 10 )); }
check() {  # check WHAT COMMAND...: runs the test command, says what failed
  local what=$1; shift
  "$@" || { echo "  not so: $what"; return 1; }
}
has() { grep -qF -- "$1" "$2"; }
# run STATUS ARGS...: kelvt-cli with ARGS must end with STATUS; output in
# $OUT and $ERR.
OUT=/tmp/out ERR=/tmp/err
run() {
  local want=$1; shift
  "$CLI" "$@" > "$OUT" 2> "$ERR"
  local got=$?
  [ "$got" = "$want" ] && return 0
  echo "  kelvt-cli $* ended with $got, not $want:"
  sed 's/^/    /' "$ERR" | head -n 20
  return 1
}
# on_both FUNCTION: FUNCTION DEVICE on the UART and on the second adapter at
# once (each waits on its line most of the time), each with files and a
# journal of its own.
on_both() {
  local fn=$1 device pids=() failed=0
  for device in /dev/ttyS1 "$BY_ID2"; do
    local tag=uart
    [ "$device" = "$BY_ID2" ] && tag=usb
    ( OUT=/tmp/out.$tag ERR=/tmp/err.$tag XDG_STATE_HOME=/tmp/state.$tag
      mkdir -p "$XDG_STATE_HOME"; "$fn" "$device" > /tmp/log.$tag 2>&1 ) &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  cat /tmp/log.uart /tmp/log.usb
  return $failed
}

# QMP on the virtio-serial port; the replies come in order, events between.
qmp_open() {
  exec 9<> /dev/virtio-ports/lab.qmp || return 1
  local line
  read -r -t 10 line <&9 || return 1
  qmp '{"execute":"qmp_capabilities"}'
}
qmp() {
  local line
  echo "$1" >&9
  while read -r -t 10 line <&9; do
    case $line in
      *'"return"'*) return 0 ;;
      *'"error"'*) echo "  QMP: $line"; return 1 ;;
    esac
  done
  echo "  QMP: no reply to $1"
  return 1
}
unplug() { qmp '{"execute":"device_del","arguments":{"id":"ftdi"}}'; }
plug() {
  qmp '{"execute":"device_add","arguments":{"driver":"usb-serial","id":"ftdi","bus":"xhci.0","chardev":"usb","serial":"'$SERIAL'"}}' || return 1
  WAIT_S=30 wait_for "the adapter's by-id link" test -e "$BY_ID"
}
ensure_plugged() { [ -e "$BY_ID" ] || plug; }
# wait_for WHAT COMMAND...: up to 10 s (WAIT_S seconds).
wait_for() {
  local what=$1; shift
  local deadline=$(( $(ms) + ${WAIT_S:-10} * 1000 ))
  while [ "$(ms)" -lt $deadline ]; do "$@" && return 0; sleep 0.05; done
  echo "  waited ${WAIT_S:-10} s in vain for $what"
  return 1
}
settings() { printf '%s\n' "$@" > "$SETTINGS"; }
# The rate the baud search found: the last one tried before the first reply.
found_rate() { awk '/== [0-9]+ baud/ { rate = $(NF-1) } /<-/ { print rate; exit }' "$ERR"; }

# ---- cases -----------------------------------------------------------------

# ports --json: the adapter with what udev knows of it, the UART; ttyS2 and
# ttyS3 (nodes without a UART) neither listed nor called there.
case_enumerate() {
  settings
  ensure_plugged || return 1
  check "the by-id link $BY_ID" test -L "$BY_ID" || return 1
  local port
  for port in COM3 COM4; do
    run 3 --port $port diag || { cat /tmp/err; return 1; }
    check "$port: Port not found" has "Port not found" /tmp/err || { cat /tmp/err; return 1; }
  done
  run 0 --json ports || return 1
  local field
  for field in "\"path\":\"$BY_ID\",\"by_id\":\"$BY_ID\"" "\"path\":\"$BY_ID2\",\"by_id\":\"$BY_ID2\"" \
      '"driver":"ftdi_sio"' \
      '"vendor_id":"0403","product_id":"6001","maker":"QEMU","product":"QEMU USB SERIAL"' \
      "\"serial_number\":\"$SERIAL\"" '"serial_number":"LAB0002"' '"path":"/dev/ttyS1","by_id":null' \
      '"kernel_name":"ttyS1","driver":"serial"' \
      '"port":"COM2","number":2,"device":"/dev/ttyS1","from_settings":false,"exists":true,"accessible":true' \
      '"port":"COM3","number":3,"device":"/dev/ttyS2","from_settings":false,"exists":false,"accessible":false' \
      '"port":"COM4","number":4,"device":"/dev/ttyS3","from_settings":false,"exists":false,"accessible":false'; do
    check "ports --json has $field" has "$field" /tmp/out || { cat /tmp/out; return 1; }
  done
  check "ttyS2 and ttyS3 are no devices" sh -c '! grep -qE "\"kernel_name\":\"ttyS[23]\"" /tmp/out' || return 1
  echo "  $BY_ID: 0403:6001 QEMU USB SERIAL $SERIAL ftdi_sio; ttyS1 serial; COM3, COM4: Port not found"
}

# What the port leaves on a real driver: 8E2 kept (a pseudo-terminal drops
# the parity), raw, the line-error counters readable; low latency on USB.
case_settings() {
  ensure_plugged || return 1
  local device
  for device in /dev/ttyS1 "$BY_ID"; do
    "$LAB_PORT" settings "$device" > /tmp/out || { cat /tmp/out; return 1; }
    local want
    for want in "speed=9600 parenb=1 parodd=0 cs8=1 cstopb=1 clocal=1 crtscts=0" \
        "icanon=0 echo=0 isig=0 opost=0 icrnl=0 ixon=0" \
        "counters=1 parity=0 framing=0 overrun=0 break=0 rxoverflow=0"; do
      check "$device: $want" has "$want" /tmp/out || { cat /tmp/out; return 1; }
    done
    echo "  $device: $(tr '\n' ' ' < /tmp/out)"
  done
  check "low latency on the adapter" has "low_latency=1" /tmp/out || return 1
  check "the FTDI latency timer at 1 ms" \
    grep -qx 1 "/sys/bus/usb-serial/devices/$(basename "$(readlink -f "$BY_ID")")/latency_timer" || return 1
}

# The baud search through both drivers: the controller is moved to each rate
# with a set of its own, and found there.
case_baud() {
  settings
  on_both baud_on
}
baud_on() {
  local device=$1 rate
  run 0 --device $device psf get /tmp/own.$tag.PSF || return 1
  for rate in 19200 38400 9600; do
    "$LAB_PORT" rate /tmp/own.$tag.PSF /tmp/rate.$tag.PSF $rate || return 1
    run 0 --device $device psf send /tmp/rate.$tag.PSF || return 1
    run 0 --device $device -v diag || return 1
    check "$device found at $rate (not $(found_rate))" test "$(found_rate)" = $rate || return 1
    echo "  $device: found at $rate baud"
  done
}

# Every command, through both drivers.
case_commands() {
  settings '[PartNumbers]' 'Part1=LAB123'
  on_both commands_on
}
commands_on() {
  local device=$1 own=/tmp/own.$tag.PSF
  run 0 --device $device diag || return 1
  check "diag: Operational" has "Operational" "$OUT" || return 1
  run 0 --device $device psf get $own || return 1
  run 0 --device $device psf send $own || return 1
  run 0 --device $device beams --count 2 || return 1
  run 0 --device $device measure $own --count 2 || return 1
  run 0 --device $device stamp --part LAB123 || return 1
  check "stamp: set" has "Part Number and Date Code Set." "$OUT" || return 1
  run 0 --device $device nullspan get || return 1
  local values
  values=$(grep -oE '(Null|Span) [0-9]+' "$OUT" | cut -d' ' -f2 | tr '\n' ' ')
  # shellcheck disable=SC2086
  run 0 --device $device nullspan set $values || return 1
  run 0 --device $device journal || return 1
  run 0 --device $device recover || return 1
  echo "  $device: diag, psf get/send, beams, measure, stamp, nullspan get/set $values, journal, recover"
}

# unplug_during NAME READY ARGS...: starts kelvt-cli ARGS on the adapter's
# COM number with a journal of its own; once READY holds, stops it, pulls
# the adapter, waits for the guest's kernel to drop the tty and lets the
# command go on, so the unplug lands mid-command however slow the machine.
# It must end within a second with exit 3 and a message naming the device;
# then the adapter goes back, recover runs (unless RECOVER_AFTER=0) and the
# controller holds its own set again.
unplug_during() {
  local name=$1 ready=$2; shift 2
  settings '[Devices]' "COM5=$BY_ID" '[PartNumbers]' 'Part1=LAB123'
  ensure_plugged || return 1
  export XDG_STATE_HOME=/tmp/state-${name//[^a-z]/}-$RANDOM
  run 0 --port COM5 psf get /tmp/own-before.PSF || return 1
  "$CLI" --port COM5 "$@" > /tmp/out 2> /tmp/err &
  local pid=$!
  for _ in $(seq 1000); do
    ! kill -0 $pid 2>/dev/null || $ready $pid && break
    sleep 0.01
  done
  kill -STOP $pid 2>/dev/null || { wait $pid; echo "  $name ended before the unplug ($?):"; cat /tmp/err; return 1; }
  $ready $pid || { kill -9 $pid; echo "  $name did not get going"; return 1; }
  local tty
  tty=$(basename "$(readlink -f "$BY_ID")")
  unplug || return 1
  # The emulated bus takes a while to tell the guest; a real one does not.
  wait_for "the kernel to drop $tty" test ! -e "/sys/class/tty/$tty" || return 1
  local resumed
  resumed=$(ms)
  kill -CONT $pid
  wait $pid
  local status=$? took=$(( $(ms) - resumed ))
  echo "  $name: exit $status ${took} ms after the kernel dropped $tty: $(grep -v scanning /tmp/err | head -n 2 | tr '\n' ' ')"
  cp /tmp/err /tmp/unplug-err
  plug || return 1
  local journal
  journal=$("$CLI" journal)
  if [ "${RECOVER_AFTER:-1}" = 1 ]; then
    run 0 --port COM5 recover || return 1
    run 0 --port COM5 psf diff controller /tmp/own-before.PSF || return 1
  fi
  check "$name exit 3" test $status = 3 || { cat /tmp/unplug-err; return 1; }
  check "$name names the unplugged device" has "The device $BY_ID (COM5) was unplugged" /tmp/unplug-err || { cat /tmp/unplug-err; return 1; }
  check "$name blames no controller" sh -c '! grep -q "controller stopped answering" /tmp/unplug-err' || return 1
  check "$name ends within a second" test $took -le 1000 || return 1
  if [ "$ready" = scanning ]; then
    check "$name left the own set in the journal" grep -q UNFINISHED <<< "$journal" || { echo "$journal"; return 1; }
  fi
}
scanning() { [ -s /tmp/out ]; }
# Process PID has claimed its port (flock): it is reading the controller's
# set. Without a fork, to catch a short command.
port_open() {
  local n kind mode access pid rest
  while read -r n kind mode access pid rest; do
    [ "$kind" = FLOCK ] && [ "$pid" = "$1" ] && return 0
  done < /proc/locks
  return 1
}
case_unplug_measure() {
  run 0 --device "$BY_ID" psf get /tmp/trial.PSF || return 1
  unplug_during "measure --watch" scanning measure /tmp/trial.PSF --watch
}
case_unplug_psf_send() {
  run 0 --device "$BY_ID" psf get /tmp/send.PSF || return 1
  unplug_during "psf send" port_open psf send /tmp/send.PSF
}
case_unplug_stamp() {
  unplug_during "stamp" port_open stamp --part LAB123
}

# The unplug during beams --watch, twice: each time the adapter comes back
# under a new name (something still holds the old node), and recover finds
# the set the command left, through the COM number mapped to the by-id path
# and through the new node, and the controller has its own set again.
case_recover() {
  settings '[Devices]' "COM5=$BY_ID"
  ensure_plugged || return 1
  run 0 --port COM5 psf get /tmp/own.PSF || return 1
  local old
  old=$(readlink -f "$BY_ID")
  "$LAB_PORT" hold "$old" > /tmp/hold 2>&1 &
  local holder=$!
  wait_for "the old node held" has holding /tmp/hold || return 1
  local through
  for through in "--port COM5" "--device NEW"; do
    RECOVER_AFTER=0 unplug_during "beams --watch" scanning beams --watch || { kill $holder; return 1; }
    local new
    new=$(readlink -f "$BY_ID")
    check "the adapter back under a new name ($new, not $old)" test "$new" != "$old" || { kill $holder; return 1; }
    through=${through/NEW/$new}
    # shellcheck disable=SC2086
    run 0 $through recover || { kill $holder; return 1; }
    echo "  recover $through: $(head -n 1 /tmp/out)"
    check "recover $through put a set back" has "The controller's own PSF is back on" /tmp/out || { kill $holder; return 1; }
    run 0 --port COM5 psf diff controller /tmp/own.PSF || { kill $holder; return 1; }
  done
  kill $holder
}

# Hot-plug as ports --watch --json and the Devices dialog see it.
# The dialog is a sanitized Qt program: under emulation it takes long to
# start.
start_dialog() {
  mkdir -p /tmp/dialog-config
  XDG_CONFIG_HOME=/tmp/dialog-config "$LAB_DEVICES" /tmp/dialog-config/kelvt.INI 300 > /tmp/dialog 2> /tmp/dialog.err &
  dialog=$!
}
dialog_shows() { tail -n 1 /tmp/dialog | grep -qF -- "$1"; }
dialog_shows_not() { [ -s /tmp/dialog ] && ! dialog_shows "$1"; }
case_hotplug() {
  settings
  ensure_plugged || return 1
  start_dialog
  WAIT_S=90 wait_for "the Devices dialog" dialog_shows "$BY_ID" || { cat /tmp/dialog; return 1; }
  "$CLI" --json ports --watch > /tmp/watch 2>&1 &
  local watch=$!
  wait_for "the present event" has '"event":"present","path":"'"$BY_ID" /tmp/watch || return 1
  echo "  unplug at $(ms) ms"
  unplug || return 1
  wait_for "the removed event" has '"event":"removed","path":"'"$BY_ID" /tmp/watch || return 1
  check "removed reads present:false" \
    sh -c "grep '\"event\":\"removed\"' /tmp/watch | grep -q '\"present\":false'" || { cat /tmp/watch; return 1; }
  WAIT_S=30 wait_for "the dialog to drop the adapter" dialog_shows_not "$BY_ID" || return 1
  plug || return 1
  wait_for "the added event" has '"event":"added","path":"'"$BY_ID" /tmp/watch || return 1
  WAIT_S=30 wait_for "the dialog to list it again" dialog_shows "$BY_ID" || return 1
  kill -INT $watch; wait $watch
  kill $dialog
  grep -o '"event":"[a-z]*","path":"[^"]*"' /tmp/watch | sed 's/^/  watch: /'
  grep '^table:' /tmp/dialog | sed 's/^/  dialog: /'
  return 0
}

# ---- the run -----------------------------------------------------------------

setup() {
  local m
  for m in virtio_console xhci_pci ftdi_sio; do modprobe $m || return 1; done
  echo "lab: modules loaded at $(ms) ms"
  /lib/systemd/systemd-udevd --daemon || return 1
  # Only what the cases use: the whole machine takes udev several seconds.
  udevadm trigger --action=add --subsystem-match=tty --subsystem-match=usb \
    --subsystem-match=usb-serial --subsystem-match=virtio-ports &&
    udevadm settle --timeout=20 || return 1
  qmp_open || { echo "lab: no QMP on /dev/virtio-ports/lab.qmp"; return 1; }
  wait_for "the adapter's by-id link" test -e "$BY_ID" || return 1
}

# run_case NAME: the case in a subshell that a watchdog ends after
# CASE_LIMIT seconds, so that a hang shows which case and what was running.
CASE_LIMIT=${CASE_LIMIT:-150}
run_case() {
  ( "case_${1//-/_}" ) &
  local pid=$! status
  ( sleep "$CASE_LIMIT"
    echo "  $1: still running after ${CASE_LIMIT} s; the processes:"
    ps -eo pid,stat,etime,args | grep -v ' \[' | tail -n 25
    tail -n 3 /tmp/out /tmp/err /tmp/watch /tmp/dialog 2>/dev/null | cut -c1-200
    kill -TERM -- $pid 2>/dev/null; pkill -TERM -P $pid 2>/dev/null ) &
  local watchdog=$!
  wait $pid
  status=$?
  kill $watchdog 2>/dev/null
  wait $watchdog 2>/dev/null
  return $status
}

# run_cases NAME...: each in turn; PASS or FAIL with its time. Non-zero when
# one failed.
run_cases() {
  local all failed=0 name start
  all=$(declare -F | sed -n 's/^declare -f case_//p' | tr _ -)
  for name in "$@"; do
    if ! echo "$all" | grep -qx -- "$name"; then
      echo "FAIL $name: no such case (cases: $(echo $all))"
      failed=1
      continue
    fi
    start=$(ms)
    if run_case "$name"; then
      echo "PASS $name ($(( $(ms) - start )) ms)"
    else
      echo "FAIL $name ($(( $(ms) - start )) ms)"
      failed=1
    fi
  done
  return $failed
}

# Cases that use only the UART and the second adapter; with every case, they
# run beside the others, with settings, files and journals of their own.
BESIDE="baud commands"

main() {
  echo "lab: guest up at $(ms) ms"
  if ! setup; then
    echo "FAIL setup"
    echo 1 > /run/lab/status
    return
  fi
  echo "lab: udev and QMP ready at $(ms) ms"
  local failed=0
  if [ -n "${CASES:-}" ]; then
    # shellcheck disable=SC2086
    run_cases $CASES || failed=1
  else
    local cases beside= name
    # In the order written; the first of BESIDE starts them all.
    cases=$(sed -n 's/^case_\([a-z_]*\)() {.*/\1/p' "$0" | tr _ -)
    for name in $cases; do
      case " $BESIDE " in
        *" $name "*)
          [ -n "$beside" ] && continue
          ( export XDG_CONFIG_HOME=/tmp/beside/.config SETTINGS=/tmp/beside/.config/kelvt.INI
            mkdir -p "$XDG_CONFIG_HOME"
            # shellcheck disable=SC2086
            run_cases $BESIDE > /tmp/beside.log 2>&1 ) &
          beside=$!
          continue ;;
      esac
      run_cases "$name" || failed=1
    done
    if [ -n "$beside" ]; then
      wait $beside || failed=1
      cat /tmp/beside.log
    fi
  fi
  echo "lab: done at $(ms) ms"
  echo $failed > /run/lab/status
}
main
