#!/bin/sh
# Reading a scanning dialog over the accessibility bus vs an idle one: starts
# Xvfb, a session bus and the AT-SPI bus, runs kelvt-dispatch-bench on the
# X display with accessibility on (the dialog stands idle for 15 s, then
# scans for 40 s), and reads the dialog's texts in each phase with a11y_read.py.
# Needs the Debian packages xvfb, at-spi2-core and python3-pyatspi.
#
# Usage: bench/a11y_read.sh BUILD_DIR   (BENCH=path runs another build of the benchmark)
set -eu
build=${1:?usage: a11y_read.sh BUILD_DIR}
bench=${BENCH:-$build/bench/kelvt-dispatch-bench}
here=$(cd "$(dirname "$0")" && pwd)
display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
dbus-run-session -- sh -c "
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 1
  '$bench' 40 38400 15 > /tmp/kelvt-a11y-bench.\$\$ 2>/dev/null &
  bench=\$!
  sleep 6
  /usr/bin/python3 '$here/a11y_read.py' idle texts
  /usr/bin/python3 '$here/a11y_read.py' idle
  sleep 14
  /usr/bin/python3 '$here/a11y_read.py' scanning texts
  /usr/bin/python3 '$here/a11y_read.py' scanning
  wait \$bench
  cat /tmp/kelvt-a11y-bench.\$\$; rm -f /tmp/kelvt-a11y-bench.\$\$
"
