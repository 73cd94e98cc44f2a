#!/usr/bin/env bash
# Drives the real tarvelin executable from outside, as a user would: on a
# private X server with a real window manager, with real key and mouse events,
# reading what the window shows through the clipboard and the X selection.
#   e2e_test.sh PATH/TO/tarvelin
#
# Reading a field: the solutions field is clicked, selected (Ctrl+A) and
# copied (Ctrl+C), and the clipboard is read with xclip. A coefficient field is
# read without touching the clipboard: selecting its text with Shift+End makes
# it the X PRIMARY selection. Before every read the selection is given to a
# placeholder text of ours, so that a value that is seen was surely produced by
# the keys just sent, and the read waits (bounded) until the placeholder is
# gone. Key events reach the program in the order they were sent, so once the
# read answers, every key sent before it has been handled.
#
# When D-Bus and the accessibility bus are installed, the error box's text is
# also read over AT-SPI; otherwise that one check is reported as skipped.

# Conditions are passed to wait_for in single quotes on purpose, and helpers
# called only through it or the trap look unused to shellcheck.
# shellcheck disable=SC2016,SC2317
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$here/$(basename "${BASH_SOURCE[0]}")"

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 PATH/TO/tarvelin" >&2
  exit 2
fi

# Stage 1: wrap ourselves in a private session bus (for the accessibility
# bus) and a private X server with openbox, then run again inside them.
if [ -z "${TARVELIN_E2E_STAGE:-}" ]; then
  export TARVELIN_E2E_STAGE=inside
  unset TARVELIN_NO_WM
  if command -v dbus-run-session >/dev/null && command -v gdbus >/dev/null &&
     [ -x /usr/libexec/at-spi-bus-launcher ]; then
    export TARVELIN_E2E_A11Y=1
    # dbus-daemon complains when it may not raise its file limit; harmless.
    exec dbus-run-session -- "$here/../ui/with_xvfb.sh" "$self" "$@" \
      2> >(grep -v 'Failed to set fd limit' >&2)
  fi
  exec "$here/../ui/with_xvfb.sh" "$self" "$@"
fi

# Stage 2: DISPLAY is our own server.
app=$1
: "${QT_QPA_PLATFORM:=xcb}"
: "${LC_ALL:=C.UTF-8}"
export QT_QPA_PLATFORM LC_ALL

tmp=$(mktemp -d)
app_pid=""
launcher_pid=""
keeper_pid=""
wm_pid=""
cleanup() {
  local pid
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then kill "$app_pid" 2>/dev/null; fi
  for pid in "$launcher_pid" "$wm_pid" "$keeper_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

passed=0
failed=0
step="start"

pass() {
  passed=$((passed + 1))
  echo "ok    [$step] $1"
}
fail() {
  failed=$((failed + 1))
  echo "FAIL  [$step] $1"
}
# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" = "$3" ]; then pass "$1: \"$3\""; else fail "$1: expected \"$2\", saw \"$3\""; fi
}
summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
# Gives up on the rest when the program is gone: every later check would only
# wait for its timeout.
need_app() {
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid" 2>/dev/null
    fail "the program is no longer running (exit status $?); its stderr:"
    sed 's/^/      /' "$tmp/app.err"
    summary
  fi
}
now() { echo "${EPOCHREALTIME/,/.}"; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

keys() { xdotool key --delay 30 "$@"; }

# --- selections -------------------------------------------------------------
read_selection() { timeout 5 xclip -o -selection "$1" 2>/dev/null; }

# own SELECTION TEXT: xclip takes the selection only after it has forked into
# the background, so wait until reading the selection gives TEXT back.
own() {
  printf %s "$2" | xclip -i -selection "$1" >/dev/null 2>&1
  local _
  for _ in $(seq 50); do
    [ "$(read_selection "$1")" = "$2" ] && return 0
    sleep 0.1
  done
  fail "could not put \"$2\" on the $1 selection"
  return 1
}

# await SELECTION PLACEHOLDER: prints the selection once it holds something
# else; fails after 10 s.
await() {
  local _ v
  for _ in $(seq 100); do
    v=$(read_selection "$1")
    if [ "$v" != "$2" ]; then
      printf %s "$v"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

placeholder_count=0
placeholder() {
  placeholder_count=$((placeholder_count + 1))
  echo "(placeholder $placeholder_count)"
}

# Where the solutions field lies in the client area (104,231 289x21).
s_edit_x=248
s_edit_y=241

# read_solutions: prints the solutions field's text, copied as a user would.
read_solutions() {
  local p
  p=$(placeholder)
  own clipboard "$p" || return 1
  xdotool mousemove --window "$main" "$s_edit_x" "$s_edit_y" click 1
  keys ctrl+a ctrl+c
  await clipboard "$p" || { printf '(nothing copied)'; return 1; }
}

# read_focused_field: prints the text of the focused field, selected with
# Home, Shift+End and left with the caret at its end. An empty field selects
# nothing and so never answers: use read_step for a field that may be empty.
read_focused_field() {
  local p
  p=$(placeholder)
  own primary "$p" || return 1
  keys Home shift+End End
  await primary "$p" || { printf '(nothing selected)'; return 1; }
}

# back_to FIELD: from the solutions field into FIELD (Tab and Shift+Tab go
# aEdit -> bEdit -> cEdit and wrap; from sEdit, Tab gives aEdit and Shift+Tab
# cEdit), with the caret at the end of its text as the typing left it.
back_to() {
  case $1 in
    a) keys Tab End ;;
    b) keys Tab Tab End ;;
    c) keys shift+Tab End ;;
  esac
}

# read_step FIELD: reads the focused coefficient field and then the solutions
# field into $field_text and $solutions, then goes back into FIELD. The copy
# from the solutions field comes after the coefficient field's selection, so
# once it has answered, a PRIMARY selection still holding our placeholder means
# the coefficient field had nothing to select: it is empty. (Clicking and
# Ctrl+A in the read-only field do not set PRIMARY.)
read_step() {
  local p
  field_text="(not read)"
  solutions="(not read)"
  p=$(placeholder)
  own primary "$p" || return 1
  keys Home shift+End End
  solutions=$(read_solutions)
  field_text=$(read_selection primary)
  [ "$field_text" = "$p" ] && field_text=""
  back_to "$1"
}

# visible_windows: the mapped top-level windows captioned exactly "Tarvelin".
# (The program also owns an unmapped 1x1 window of that name, which carries
# the application's title.)
visible_windows() { xdotool search --onlyvisible --name '^Tarvelin$' 2>/dev/null; }

focused_window() { xdotool getwindowfocus 2>/dev/null; }

# wait_for CONDITION-COMMAND SECONDS: polls five times a second.
wait_for() {
  local _
  for _ in $(seq $(($2 * 5))); do
    eval "$1" && return 0
    sleep 0.2
  done
  return 1
}

# --- accessibility (the error box's text) -----------------------------------
a11y_addr=""
a11y() { timeout 5 gdbus call --address "$a11y_addr" --dest "$1" --object-path "$2" --method "${@:3}" 2>/dev/null; }
a11y_children() { a11y "$1" "$2" org.a11y.atspi.Accessible.GetChildren | grep -o "/org/a11y/atspi/accessible/[0-9A-Za-z_]*"; }
# A string out of gdbus's "(<'text'>,)" or "('text',)".
a11y_string() { sed -E "s/^\(<?//; s/>?,\)$//; s/^['\"]//; s/['\"]$//"; }
a11y_name() { a11y "$1" "$2" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name | a11y_string; }
a11y_role() { a11y "$1" "$2" org.a11y.atspi.Accessible.GetRoleName | a11y_string; }
# Never ask for org.freedesktop.DBus.Introspectable on the program's objects:
# Debian's Qt 6.4.2 accessibility bridge crashes on it (so does a bare Qt
# window), which would end the program under test.

# box_texts: "label:TEXT" and "push button:TEXT" lines of the program's alert.
box_texts() {
  local bus apps root win kid role
  apps=$(a11y org.a11y.atspi.Registry /org/a11y/atspi/accessible/root \
    org.a11y.atspi.Accessible.GetChildren | grep -o "':[0-9.]*'" | tr -d "'" | sort -u)
  for bus in $apps; do
    root=/org/a11y/atspi/accessible/root
    [ "$(a11y_name "$bus" "$root")" = tarvelin ] || continue
    for win in $(a11y_children "$bus" "$root"); do
      [ "$(a11y_role "$bus" "$win")" = "alert message" ] || continue
      for kid in $(a11y_children "$bus" "$win") $(for k in $(a11y_children "$bus" "$win"); do a11y_children "$bus" "$k"; done); do
        role=$(a11y_role "$bus" "$kid")
        case $role in
          label | "push button") echo "$role:$(a11y_name "$bus" "$kid")" ;;
        esac
      done
    done
  done
}

# --- 1. the X server and the window manager ---------------------------------
step="1 server"
# Xvfb resets itself whenever its last client leaves, and refuses connections
# while it does: a client started just as with_xvfb.sh's xdpyinfo or xprop
# exits can fail to connect, openbox among them. One client of ours stays
# connected for the whole run, and tells us about the root window's
# properties as they change, so nothing needs to be polled with new clients.
wm_seen() { grep -q '^_NET_SUPPORTING_WM_CHECK(WINDOW): window id' "$tmp/root.props"; }
for _ in $(seq 20); do
  xprop -root -spy >"$tmp/root.props" 2>&1 &
  keeper_pid=$!
  sleep 0.2
  kill -0 "$keeper_pid" 2>/dev/null && break
  keeper_pid=""
done
if [ -z "$keeper_pid" ]; then
  fail "could not connect to $DISPLAY"
  summary
fi
if ! wait_for wm_seen 3; then
  echo "note  [$step] with_xvfb.sh's openbox did not come up; starting one"
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm_pid=$!
fi
if wait_for wm_seen 10; then
  pass "openbox manages the screen of $DISPLAY"
else
  fail "no window manager on $DISPLAY"
  [ -n "$wm_pid" ] && sed 's/^/      /' "$tmp/openbox.log"
  summary
fi
# The accessibility bus, for reading the error box's text.
if [ "${TARVELIN_E2E_A11Y:-}" = 1 ]; then
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$tmp/a11y.log" 2>&1 &
  launcher_pid=$!
  for _ in $(seq 50); do
    a11y_addr=$(timeout 5 gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
      --method org.a11y.Bus.GetAddress 2>/dev/null | a11y_string)
    [ -n "$a11y_addr" ] && break
    sleep 0.1
  done
  [ -n "$a11y_addr" ] || fail "the accessibility bus did not start: $(cat "$tmp/a11y.log")"
fi

read -r screen_w screen_h < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
expect "screen size" "1024 768" "$screen_w $screen_h"

# --- 2. launch and wait for the window --------------------------------------
step="2 launch"
main=""
for attempt in 1 2; do
  started=$(now)
  if [ -n "$a11y_addr" ]; then
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$app" >"$tmp/app.out" 2>"$tmp/app.err" &
  else
    "$app" >"$tmp/app.out" 2>"$tmp/app.err" &
  fi
  app_pid=$!
  # One xdotool polls on its own connection (twice a second) while this shell
  # only watches the two processes.
  timeout 30 xdotool search --sync --onlyvisible --name '^Tarvelin$' >"$tmp/search" 2>/dev/null &
  search_pid=$!
  while kill -0 "$search_pid" 2>/dev/null && kill -0 "$app_pid" 2>/dev/null; do sleep 0.05; done
  kill -0 "$app_pid" 2>/dev/null || kill "$search_pid" 2>/dev/null
  if wait "$search_pid" && [ -s "$tmp/search" ] && kill -0 "$app_pid" 2>/dev/null; then
    main=$(head -n1 "$tmp/search")
    break
  fi
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid"
    status=$?
    if [ "$attempt" = 1 ] && grep -q "could not connect to display" "$tmp/app.err"; then
      echo "note  [$step] Qt could not connect to the display; launching once more"
      continue
    fi
    fail "the program exited with status $status before showing its window; its stderr:"
    sed 's/^/      /' "$tmp/app.err"
    summary
  fi
  fail "no window captioned \"Tarvelin\" appeared within 30 s"
  summary
done
pass "window $main shown $(elapsed "$started") s after launch (attempt $attempt)"

# --- 3. caption, size, place ------------------------------------------------
step="3 window"
expect "caption (WM_NAME)" 'WM_NAME(STRING) = "Tarvelin"' "$(xprop -id "$main" WM_NAME)"
expect "caption (_NET_WM_NAME)" '_NET_WM_NAME(UTF8_STRING) = "Tarvelin"' "$(xprop -id "$main" _NET_WM_NAME)"
expect "one visible window" "$main" "$(visible_windows)"

# openbox sets the frame's extents when it takes the window in.
if wait_for 'xprop -id "$main" _NET_FRAME_EXTENTS | grep -q =' 5; then
  read -r fl fr ft fb < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,/ /g')
else
  fail "openbox did not say how wide its frame is (no _NET_FRAME_EXTENTS)"
  fl=0 fr=0 ft=0 fb=0
fi
info=$(xwininfo -id "$main")
field() { awk -F: -v k="$1" '$1 ~ k { gsub(/ /, "", $2); print $2 }' <<<"$info"; }
client_x=$(field "Absolute upper-left X")
client_y=$(field "Absolute upper-left Y")
expect "client area" "408x335" "$(field "Width")x$(field "Height")"
echo "      client area at ($client_x, $client_y) on the screen"
frame_x=$((client_x - fl))
frame_y=$((client_y - ft))
frame_w=$((408 + fl + fr))
frame_h=$((335 + ft + fb))
echo "      openbox frame: borders left $fl right $fr top $ft bottom $fb, outer ${frame_w}x${frame_h}"
# The program centres the frame it was designed with (4-pixel border,
# 19-pixel caption: 416x362), so its top-left goes to (304, 203) whatever
# frame the window manager draws, and openbox keeps that position. openbox's
# own frame is smaller (1-pixel border, 20-pixel title bar: 410x356), so the
# frame's centre ends 3 pixels up and left of the screen's.
expect "frame top-left" "304,203" "$frame_x,$frame_y"
dx=$((frame_x + frame_w / 2 - screen_w / 2))
dy=$((frame_y + frame_h / 2 - screen_h / 2))
if [ "${dx#-}" -le 3 ] && [ "${dy#-}" -le 3 ]; then
  pass "frame centre within 3 px of the screen's centre: off by ($dx, $dy)"
else
  fail "frame centre off the screen's centre by ($dx, $dy) px"
fi

if wait_for '[ "$(focused_window)" = "$main" ]' 10; then
  pass "the window has the keyboard focus"
else
  fail "the focus is on window \"$(focused_window)\", not on $main"
fi

# --- 4. the edit sequence ---------------------------------------------------
# keys to type | field | its text after | solutions after
# At start aEdit has the focus with its "0" selected; Shift+Tab from aEdit
# goes to cEdit, and entering a field by Tab or Shift+Tab selects its text.
sequence=(
  "1|a|1|0.00"
  "BackSpace|a||0.00"
  "minus|a|-|0.00"
  "1|a|-1|0.00"
  "shift+Tab 4|c|4|-2.00 et 2.00"
  "minus|c|4-|-2.00 et 2.00"
  "shift+Tab 3|b|3|-1.00 et 4.00"
  "shift+Tab BackSpace|a||-1.00 et 4.00"
  "0|a|0|-1.33"
)
n=0
for row in "${sequence[@]}"; do
  n=$((n + 1))
  IFS='|' read -r typed where text want <<<"$row"
  step="4 edit $n: $typed"
  need_app
  # shellcheck disable=SC2086  # the keys are separate words
  keys $typed
  read_step "$where"
  expect "${where}Edit" "$text" "$field_text"
  expect "sEdit" "$want" "$solutions"
done

# --- 5. an overflow and its error box ---------------------------------------
step="5 overflow: paste 1e400 into bEdit"
need_app
own clipboard "1e400"
keys Tab shift+Insert
box=""
find_box() {
  local w
  for w in $(visible_windows); do [ "$w" != "$main" ] && box=$w && return 0; done
  return 1
}
if wait_for find_box 10; then
  pass "a second window captioned \"Tarvelin\" appeared: $box"
  state=$(xprop -id "$box" _NET_WM_STATE)
  case $state in
    *_NET_WM_STATE_MODAL*) pass "it is modal ($state)" ;;
    *) fail "it is not modal: $state" ;;
  esac
  if wait_for '[ "$(focused_window)" = "$box" ]' 5; then
    pass "it has the keyboard focus"
  else
    fail "the focus is on \"$(focused_window)\", not on the box $box"
  fi
  if [ -n "$a11y_addr" ]; then
    texts=$(box_texts | tr '\n' '|')
    expect "the box's label and button (AT-SPI)" "label:Floating point overflow.|push button:OK|" "$texts"
  elif [ "${TARVELIN_E2E_A11Y:-}" != 1 ]; then
    echo "skip  [$step] the box's text: no accessibility bus (packages dbus-daemon, at-spi2-core, libglib2.0-bin)"
  fi
  # The box is modal to the program: a click and a key aimed at aEdit are lost.
  xdotool mousemove --window "$main" 248 97 click 1
  keys 9
  timeout 5 xdotool windowactivate --sync "$box" 2>/dev/null
  keys Return
  if wait_for '! find_box' 10; then
    pass "Return closed the box"
  else
    fail "the box $box is still shown after Return"
  fi
else
  fail "no error box within 10 s; windows: $(visible_windows | tr '\n' ' ')"
fi

step="5 after the box"
need_app
if wait_for '[ "$(focused_window)" = "$main" ]' 5; then
  pass "the main window has the focus again"
else
  fail "the focus is on \"$(focused_window)\", not on the main window $main"
fi
# The keys go on into bEdit, which still holds what was pasted.
expect "bEdit, typed into straight after the box" "1e400" "$(read_focused_field)"
expect "sEdit kept" "-1.33" "$(read_solutions)"
keys Tab  # from sEdit, where reading it left the focus
expect "aEdit (the 9 typed while the box was up is lost)" "0" "$(read_focused_field)"

step="5 edit 11: bEdit 1"
keys Tab 1  # Tab selects the "1e400", the "1" replaces it
read_step b
expect "bEdit" "1" "$field_text"
expect "sEdit" "-4.00" "$solutions"

# --- 6. keys the coefficient fields drop ------------------------------------
# In bEdit holding "1" (a = 0, b = 1, c stale at 4: "-4.00"), with "5" on the
# clipboard: what each key would do unfiltered is in the comment. After each
# key the solutions field is selected with Shift+End, which sets PRIMARY, so
# that the clipboard is looked at only once the key has been handled.
# keys that set up | the key | bEdit after
filter_cases=(
  "Home shift+End|ctrl+c|1"  # copies the selection
  "Home shift+End|ctrl+x|1"  # cuts it
  "End|ctrl+v|1"             # pastes "5"
  "Home|ctrl+k|1"            # X11 binding: cuts to the end of the line
  "End|Return|1"
  "End|Escape|1"
  "End|e|1"
  "End|comma|1"
  "End 2|ctrl+h|1"           # 8, like BackSpace: takes the "2" away
  "End|ctrl+z|1"             # would undo that BackSpace: "12"
)
for row in "${filter_cases[@]}"; do
  IFS='|' read -r setup key text <<<"$row"
  step="6 filter: $key"
  need_app
  own clipboard 5 || continue
  # shellcheck disable=SC2086
  keys $setup
  keys "$key"
  p=$(placeholder)
  own primary "$p"
  xdotool mousemove --window "$main" "$s_edit_x" "$s_edit_y" click 1
  keys Home shift+End
  # Wait for the solutions field's text, not just any change: a selection
  # the setup made in bEdit may reach PRIMARY late.
  wait_for '[ "$(read_selection primary)" = "-4.00" ]' 10
  expect "sEdit" "-4.00" "$(read_selection primary)"
  expect "clipboard" "5" "$(read_selection clipboard)"
  back_to b
  now_text=$(read_focused_field)
  expect "bEdit" "$text" "$now_text"
  # Put a changed field back, so that one fault shows in one case only.
  if [ "$now_text" != 1 ]; then
    keys Home shift+End 1
    read_step b
    [ "$field_text|$solutions" = "1|-4.00" ] || fail "could not put bEdit back to 1: \"$field_text\", \"$solutions\""
  fi
done

# --- 7. closing ---------------------------------------------------------------
step="7 close"
need_app
expect "no other window left" "$main" "$(visible_windows)"
timeout 5 xdotool windowactivate --sync "$main" 2>/dev/null
closed=$(now)
keys alt+F4
if wait_for '! kill -0 "$app_pid" 2>/dev/null' 5; then
  wait "$app_pid"
  status=$?
  app_pid=""
  expect "exit status after Alt+F4 (ended in $(elapsed "$closed") s)" 0 "$status"
else
  fail "the program still runs 5 s after Alt+F4"
fi
if [ -s "$tmp/app.err" ]; then
  echo "      the program's stderr:"
  sed 's/^/      /' "$tmp/app.err"
fi

summary
