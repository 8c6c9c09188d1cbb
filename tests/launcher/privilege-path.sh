#!/usr/bin/env bash
# The real privilege path, end to end, on this machine: the Debian package
# installed, a system D-Bus and polkitd, a throwaway user in group sudo with
# a password, pkttyagent answering for that user, brisklaunch started as the
# user under Xvfb. A right password starts the main program as root with the
# user's PKEXEC_UID and its window; a wrong password, a cancel, and no agent
# with no terminal each give the launcher's sentence and start nothing;
# removing the package leaves no file of it. Everything it starts or adds it
# ends or removes again.
#
#   privilege-path.sh <package.deb>       (root; TV_PRIVILEGE_PATH_TEST=1)
set -uo pipefail
deb=${1:+$(readlink -f "$1")}
skip() { echo "SKIP: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ "${TV_PRIVILEGE_PATH_TEST:-}" = 1 ] ||
  skip "set TV_PRIVILEGE_PATH_TEST=1 to run it: it installs the package, starts a system D-Bus and polkitd and adds a user"
[ "$(id -u)" -eq 0 ] || skip "needs root"
for c in dbus-daemon dbus-send /usr/lib/polkit-1/polkitd pkttyagent Xvfb xwininfo useradd userdel chpasswd runuser script apt-get; do
  command -v "$c" >/dev/null 2>&1 || skip "$c is missing"
done
[ -f "$deb" ] || skip "no package at '$deb': build the target deb first"
# What pkexec and polkit's password helper need: set-user-ID programs that
# work here, and a terminal for pkttyagent.
grep -q '^NoNewPrivs:[[:space:]]*1' /proc/self/status && skip "set-user-ID programs cannot gain rights here (no_new_privs)"
findmnt -no OPTIONS --target /usr/bin 2>/dev/null | grep -qw nosuid && skip "/usr is mounted nosuid"
[ -u /usr/bin/pkexec ] && [ -u /usr/lib/polkit-1/polkit-agent-helper-1 ] || skip "pkexec or polkit's helper is not set-user-ID"
script -qec true /dev/null </dev/null >/dev/null 2>&1 || skip "no pseudo-terminal for pkttyagent"
if dpkg-query -W -f='${db:Status-Status}' tarnwick-vantoly 2>/dev/null | grep -qx installed; then
  skip "tarnwick-vantoly is installed on this machine already; it is left alone"
fi
[ -z "$(getent group sudo | cut -d: -f4)" ] ||
  skip "group sudo has members already: the agent would ask which one to authenticate as"

work=$(mktemp -d /tmp/tv-privilege.XXXXXX)
chmod 755 "$work"
user=tvpriv$$
password="Tv-$RANDOM-$RANDOM"
started_bus="" polkitd_pid="" xvfb_pid="" installed=""

bus_answers() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetId >/dev/null 2>&1
}
polkit_on_bus() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.PolicyKit1 2>/dev/null | grep -q 'boolean true'
}
# The main programs this test's user started (another may run for someone else).
main_program_pids() {
  local pid
  for pid in $(pgrep -x tarnwick-vantol); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "PKEXEC_UID=${uid:-none}" && echo "$pid"
  done
}

cleanup() {
  for pid in $(main_program_pids); do kill "$pid" 2>/dev/null; done
  pkill -u "$user" 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  [ -z "$polkitd_pid" ] || kill "$polkitd_pid" 2>/dev/null
  if [ -n "$started_bus" ]; then
    kill "$started_bus" 2>/dev/null
    rm -f /run/dbus/pid
  fi
  id "$user" >/dev/null 2>&1 && userdel -r "$user" >/dev/null 2>&1
  [ -z "$installed" ] || apt-get remove -y -qq -o DPkg::Lock::Timeout=300 tarnwick-vantoly >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# The package, as the run command installs it.
# (Waiting for the package manager's lock: other tests may hold it.)
apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "the package did not install"; exit 1; }
installed=1
policy=/usr/share/polkit-1/actions/com.tarnwick.vantoly.policy
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/tarnwick-vantoly/tarnwick-vantoly</annotate>' "$policy" ||
  fail "the installed policy does not name the installed main program"
grep -q '<annotate key="org.freedesktop.policykit.exec.allow_gui">true</annotate>' "$policy" || fail "the policy has no allow_gui"

# A system bus and polkitd: this machine's own where they run, else ours.
if ! bus_answers; then
  mkdir -p /run/dbus
  rm -f /run/dbus/pid /run/dbus/system_bus_socket
  started_bus=$(dbus-daemon --system --fork --print-pid) || skip "cannot start a system D-Bus"
  started_bus=$(echo "$started_bus" | head -1)
fi
if ! polkit_on_bus; then
  /usr/lib/polkit-1/polkitd --no-debug >"$work/polkitd.log" 2>&1 &
  polkitd_pid=$!
  for _ in $(seq 50); do polkit_on_bus && break; sleep 0.2; done
  polkit_on_bus || skip "polkitd did not come up: $(tail -3 "$work/polkitd.log")"
fi

useradd -m -G sudo -s /bin/sh "$user" || skip "cannot add a user"
echo "$user:$password" | chpasswd
uid=$(id -u "$user")

display=$((200 + $$ % 300))
Xvfb ":$display" -ac -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.2; done
[ -S "/tmp/.X11-unix/X$display" ] || skip "Xvfb did not start"

# brisklaunch as the user on a terminal of its own, with pkttyagent
# registered for it (the shell that becomes brisklaunch keeps its pid).
# `answer` is typed once the agent asks for the password; `out` gets
# everything said on the terminal. Sets `run` to the pid of the whole.
start_as_user() {
  local answer=$1 out=$2 fifo="$work/input.$RANDOM"
  mkfifo "$fifo"
  timeout 90 runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" LOGNAME="$user" \
    PATH=/usr/bin:/bin DISPLAY=":$display" LANG=C.UTF-8 \
    script -qfec "sh -c 'pkttyagent --process \$\$ & sleep 1; exec /usr/bin/brisklaunch'" /dev/null \
    <"$fifo" >"$out" 2>&1 &
  run=$!
  exec 3>"$fifo"
  for _ in $(seq 300); do grep -q "Password:" "$out" 2>/dev/null && break; sleep 0.2; done
  sleep 0.5  # the prompt is written before the terminal stops echoing
  printf '%b' "$answer" >&3
}
end_input() { exec 3>&-; }
# Read whole first: under pipefail, grep -q leaving early would fail the pipe.
window_shown() { local tree; tree=$(xwininfo -display ":$display" -root -tree 2>/dev/null); grep -q "\"$1\"" <<<"$tree"; }

# The right password: the main program runs as root for this user, with its window.
start_as_user "$password\n" "$work/right.log"
main=""
for _ in $(seq 150); do
  main=$(main_program_pids | head -1)
  [ -n "$main" ] && window_shown "Tarnwick Vantoly" && break
  sleep 0.2
done
if [ -z "$main" ]; then
  fail "the main program did not start: $(tr -d '\r' <"$work/right.log" | tail -5)"
else
  [ "$(awk '/^Uid:/ {print $3}' "/proc/$main/status")" = 0 ] || fail "the main program does not run as root"
  tr '\0' '\n' <"/proc/$main/environ" | grep -qx "PKEXEC_UID=$uid" || fail "the main program has no PKEXEC_UID=$uid"
  window_shown "Tarnwick Vantoly" || fail "the main program's window did not show"
  echo "right password: main program $main runs as root for uid $uid, its window shown"
fi
for pid in $(main_program_pids); do kill "$pid" 2>/dev/null; done
end_input
wait "$run" 2>/dev/null

# A wrong password, then a cancel (end of input at the prompt): the
# launcher's sentence, and nothing started.
refused="Administrator rights were not given, so Tarnwick Vantoly did not start."
for case in wrong cancel; do
  if [ "$case" = wrong ]; then answer="not-$password\n"; else answer='\004'; fi
  start_as_user "$answer" "$work/$case.log"
  for _ in $(seq 150); do grep -q "$refused" "$work/$case.log" && break; sleep 0.2; done
  grep -q "$refused" "$work/$case.log" || fail "$case: no sentence: $(tr -d '\r' <"$work/$case.log" | tail -5)"
  [ -z "$(main_program_pids)" ] || fail "$case: the main program started"
  grep -q "$refused" "$work/$case.log" && echo "$case: the launcher said: $refused"
  window_shown "Tarnwick Vantoly" && echo "$case: the launcher's window shows"
  pkill -u "$user" brisklaunch 2>/dev/null
  end_input
  wait "$run" 2>/dev/null
done

# No agent and no terminal, as from a menu: said too, and nothing started.
noagent="No authentication agent is running: "
timeout 60 runuser -u "$user" -- env -i HOME="/home/$user" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin \
  DISPLAY=":$display" LANG=C.UTF-8 setsid /usr/bin/brisklaunch </dev/null >"$work/noagent.log" 2>&1 &
run=$!
for _ in $(seq 150); do grep -q "$noagent" "$work/noagent.log" && break; sleep 0.2; done
if grep -q "$noagent" "$work/noagent.log"; then
  echo "no agent: the launcher said: $(grep -o "$noagent.*" "$work/noagent.log")"
else
  fail "no agent: no sentence: $(tail -3 "$work/noagent.log")"
fi
[ -z "$(main_program_pids)" ] || fail "no agent: the main program started"
pkill -u "$user" brisklaunch 2>/dev/null
wait "$run" 2>/dev/null

# Removing the package leaves no file of it.
files=$(dpkg-query -L tarnwick-vantoly | while read -r f; do [ -f "$f" ] && echo "$f"; done)
apt-get remove -y -qq -o DPkg::Lock::Timeout=300 tarnwick-vantoly >"$work/remove.log" 2>&1 ||
  fail "the package did not remove: $(tail -3 "$work/remove.log")"
installed=""
for f in $files /var/lib/tarnwick-vantoly /usr/share/tarnwick-vantoly /usr/libexec/tarnwick-vantoly; do
  [ ! -e "$f" ] || fail "left after removal: $f"
done
dpkg-query -W tarnwick-vantoly >/dev/null 2>&1 && fail "dpkg still records the package"

[ "$failures" -eq 0 ] && echo "privilege path: all held"
[ "$failures" -eq 0 ]
