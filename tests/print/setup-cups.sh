#!/usr/bin/env bash
# A private CUPS server with one PDF printer ("PDF", cups-pdf backend) for the
# print test, kept apart from any system CUPS: its own configuration, spool and
# socket under DIR.
#
#   setup-cups.sh start DIR   start cupsd on DIR/cups.sock and add the printer
#   setup-cups.sh stop DIR    remove the printer and stop that cupsd
#
# Clients reach it with CUPS_SERVER=DIR/cups.sock. Jobs land as PDF files where
# /etc/cups/cups-pdf.conf says (Out, by default ${HOME}/PDF of the job's user,
# whose passwd home counts, not $HOME); start writes that folder to DIR/outdir.
# Exit status: 0 done, 2 cannot run here (not root, packages missing), 1 failed.
set -uo pipefail

PRINTER=PDF
PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
WAIT_SECONDS=15

usage() { echo "usage: $0 start|stop DIR" >&2; exit 1; }
[ $# -eq 2 ] || usage
action=$1
dir=$2
sock="$dir/cups.sock"

# Runs lpadmin/lpstat against the private server only.
export CUPS_SERVER="$sock"

cannot() { echo "setup-cups: $*" >&2; exit 2; }
fail() { echo "setup-cups: $*" >&2; [ -f "$dir/log/error_log" ] && tail -20 "$dir/log/error_log" >&2; exit 1; }

start() {
  [ "$(id -u)" -eq 0 ] || cannot "needs root (cupsd and the cups-pdf backend run as root)"
  for tool in cupsd lpadmin lpstat; do
    command -v "$tool" >/dev/null 2>&1 || cannot "$tool not installed (packages cups, printer-driver-cups-pdf)"
  done
  [ -x /usr/lib/cups/backend/cups-pdf ] || cannot "cups-pdf backend not installed (package printer-driver-cups-pdf)"
  [ -f "$PPD" ] || cannot "$PPD not found (package printer-driver-cups-pdf)"

  mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log} || fail "cannot create $dir"
  # Filters run as lp and must reach the spool.
  chmod 755 "$dir"
  cat > "$dir/cups-files.conf" <<EOF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
SystemGroup root
FileDevice No
EOF
  cat > "$dir/cupsd.conf" <<EOF
LogLevel info
Listen $sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cp "$dir/cupsd.conf" "$dir/etc/cupsd.conf"

  # -f: stay in the foreground so the pid is ours to stop; -c/-s: private files.
  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
  local pid=$!
  echo $pid > "$dir/cupsd.pid"
  # Should the caller die without calling stop, the server goes with it.
  local owner=$PPID
  ( while kill -0 "$owner" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do sleep 1; done
    kill -TERM "$pid" 2>/dev/null ) </dev/null >/dev/null 2>&1 &

  local waited=0
  # lpstat -r exits 0 either way; its text tells.
  until [ "$(lpstat -r 2>/dev/null)" = "scheduler is running" ]; do
    kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || fail "cupsd exited: $(cat "$dir/log/cupsd.out")"
    [ $waited -lt $((WAIT_SECONDS * 10)) ] || { stop_server; fail "cupsd did not answer in ${WAIT_SECONDS}s"; }
    sleep 0.1
    waited=$((waited + 1))
  done

  timeout "$WAIT_SECONDS" lpadmin -p "$PRINTER" -v cups-pdf:/ -P "$PPD" -E \
    || { stop_server; fail "lpadmin could not add $PRINTER"; }
  timeout "$WAIT_SECONDS" lpstat -p "$PRINTER" >/dev/null 2>&1 \
    || { stop_server; fail "$PRINTER not listed after lpadmin"; }
  output_dir > "$dir/outdir"
  echo "setup-cups: $PRINTER ready on $sock, jobs go to $(cat "$dir/outdir")"
}

# The folder cups-pdf writes this user's jobs to.
output_dir() {
  local user home out
  user=$(id -un)
  home=$(getent passwd "$user" | cut -d: -f6)
  out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -1)
  out=${out:-'${HOME}/PDF'}
  out=${out//'${HOME}'/$home}
  out=${out//'${USER}'/$user}
  echo "$out"
}

stop_server() {
  local pid
  pid=$(cat "$dir/cupsd.pid" 2>/dev/null) || return 0
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    local waited=0
    while kill -0 "$pid" 2>/dev/null && [ $waited -lt $((WAIT_SECONDS * 10)) ]; do
      sleep 0.1
      waited=$((waited + 1))
    done
    kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
  fi
  rm -f "$dir/cupsd.pid"
}

stop() {
  if [ -S "$sock" ]; then
    timeout "$WAIT_SECONDS" lpadmin -x "$PRINTER" >/dev/null 2>&1 || true
  fi
  stop_server
  echo "setup-cups: stopped"
}

case "$action" in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
