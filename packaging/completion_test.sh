#!/usr/bin/env bash
# Checks the bash completion of kelvt-cli as bash itself would run it.
# Usage: packaging/completion_test.sh [COMPLETION_FILE]
set -u
file=${1:-/usr/share/bash-completion/completions/kelvt-cli}
source /usr/share/bash-completion/bash_completion
source "$file"

complete_line() {
  COMP_LINE=$1
  COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$COMP_LINE"
  [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kelvt_cli
  echo "${COMPREPLY[*]}"
}

failed=0
expect() {
  local got
  got=$(complete_line "$1")
  if [[ $got != "$2" ]]; then
    echo "completion of '$1': got '$got', expected '$2'" >&2
    failed=1
  fi
}

expect "kelvt-cli --port C" "$(echo COM{1..24})"
expect "kelvt-cli --port COM2" "COM2 COM20 COM21 COM22 COM23 COM24"
expect "kelvt-cli " "ports diag psf beams measure nullspan stamp recover journal backup"
expect "kelvt-cli --device rf" "rfc2217://"
expect "kelvt-cli -p COM3 psf " "get send show set diff"
expect "kelvt-cli psf set line4.PSF meas" "meas1_mode= meas2_mode="
expect "kelvt-cli psf set line4.PSF scan_control=Gate baud_rate=3" "baud_rate=38400"
expect "kelvt-cli psf set line4.PSF out2_invert=" "out2_invert=Yes out2_invert=No"
expect "kelvt-cli beams --filter " "broken made both"
expect "kelvt-cli ports --p" "--probe --port"
expect "kelvt-cli nullspan set -u " "null span ok"
expect "kelvt-cli beams -n 20 --s" "--summary"
expect "kelvt-cli measure --c" "--count --csv"
expect "kelvt-cli journal " "show put-back"
expect "kelvt-cli journal --s" "--since"
expect "kelvt-cli journal show --" "--html --sent --port --device --json --verbose --help --version"
expect "kelvt-cli journal put-back --f" "--force"
expect "kelvt-cli psf send --no" "--no-backup"
expect "kelvt-cli nullspan set --n" "--no-backup"
expect "kelvt-cli recover --" "--force --no-backup --port --device --json --verbose --help --version"
exit $failed
