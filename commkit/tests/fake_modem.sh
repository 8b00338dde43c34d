#!/usr/bin/env bash
# A modem at the far end of a line (stdin/stdout): answers AT commands in
# command mode; once connected, echoes data until "+++" returns it to
# command mode. ATD to 5550000 finds no carrier; ATH hangs up.
mode=command
call=0
command=""
plus=0
reply() { printf '\r\n%s\r\n' "$1"; }

run_command() {
  local c=${1^^}
  case "$c" in
    "") return ;;
    ATD*5550000) reply "NO CARRIER" ;;
    ATD*) call=1; mode=data; reply "CONNECT 9600" ;;
    ATH|ATH0) call=0; reply "OK" ;;
    ATO|ATO0) if [ $call -eq 1 ]; then mode=data; reply "CONNECT 9600"; else reply "NO CARRIER"; fi ;;
    AT*) reply "OK" ;;
    *) reply "ERROR" ;;
  esac
}

while IFS= read -r -n1 -d '' ch; do
  if [ "$mode" = data ]; then
    printf '%s' "$ch"
    if [ "$ch" = "+" ]; then plus=$((plus + 1)); else plus=0; fi
    if [ $plus -eq 3 ]; then
      plus=0
      mode=command
      reply "OK"
    fi
    continue
  fi
  case "$ch" in
    $'\r') run_command "$command"; command="" ;;
    $'\n') ;;
    *) command+="$ch" ;;
  esac
done
