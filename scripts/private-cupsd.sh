# Sourced by the package checks: a CUPS scheduler of their own, its
# configuration, spool, logs and socket in FOLDER, running the system's
# filters and the backend BACKEND as CUPS's "qor" backend.
#   start_private_cupsd FOLDER BACKEND [NAME=VALUE...]
# The NAME=VALUE pairs reach the filters and backends (SetEnv). It exports
# CUPS_SERVER for the CUPS commands and sets cupsd_pid.
start_private_cupsd() {
  local cups=$1 backend=$2 f pair
  shift 2
  install -d -m 0755 "$cups" "$cups/spool" "$cups/cache" "$cups/state" "$cups/log" "$cups/ppd" "$cups/bin" \
      "$cups/bin/backend"
  for f in /usr/lib/cups/*; do [ "$(basename "$f")" = backend ] || ln -s "$f" "$cups/bin/"; done
  ln -s "$backend" "$cups/bin/backend/qor"
  {
    echo "ServerRoot $cups"
    echo "RequestRoot $cups/spool"
    echo "CacheDir $cups/cache"
    echo "StateDir $cups/state"
    echo "TempDir $cups/spool"
    echo "ServerBin $cups/bin"
    echo "DataDir /usr/share/cups"
    echo "DocumentRoot /usr/share/cups/doc-root"
    echo "AccessLog $cups/log/access_log"
    echo "ErrorLog $cups/log/error_log"
    echo "PageLog $cups/log/page_log"
    echo "SystemGroup root"
    echo "User lp"
    echo "FileDevice No"
    for pair in "$@"; do echo "SetEnv ${pair%%=*} ${pair#*=}"; done
  } >"$cups/cups-files.conf"
  cat >"$cups/cupsd.conf" <<DAEMON
Listen $cups/cups.sock
LogLevel debug
Browsing No
DefaultAuthType None
WebInterface No
JobRetryInterval 1
PreserveJobHistory Yes
<Location />
Order allow,deny
Allow all
</Location>
<Policy default>
<Limit All>
Order allow,deny
Allow all
</Limit>
</Policy>
DAEMON
  chmod 644 "$cups/cups-files.conf" "$cups/cupsd.conf"
  export CUPS_SERVER=$cups/cups.sock
  /usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" >"$cups/log/cupsd.out" 2>&1 &
  cupsd_pid=$!
  for _ in $(seq 200); do lpstat -r 2>/dev/null | grep -q "is running" && return 0; sleep 0.05; done
  echo "private cupsd does not start: $(tail -3 "$cups/log/error_log" 2>/dev/null)" >&2
  return 1
}

# Whether this machine has what the scheduler needs.
have_cups() { [ -x /usr/sbin/cupsd ] && [ -d /usr/lib/cups/filter ] && getent passwd lp >/dev/null; }
