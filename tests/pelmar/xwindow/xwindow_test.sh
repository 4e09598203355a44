#!/usr/bin/env bash
# The real tool in a real window, driven with the mouse and the keyboard
# (xdotool) under Xvfb and openbox, with simulated modules on the other side
# of a private cable. State is read back the way a caller of the tool reads
# it (the picker reply), from the simulator's log, the window manager and,
# where nothing else tells, a screenshot.
#   xwindow_test.sh SCENARIO PELMAR MDSP_SIM UDP_CATCH ARTIFACTS_DIR BUILD_DIR
set -euo pipefail
scenario=$1
XLAB_PELMAR=$2 XLAB_SIM=$3 XLAB_CATCH=$4 XLAB_ARTIFACTS=$5/$1 build=$6
# shellcheck source=xlab.sh
source "$(dirname "${BASH_SOURCE[0]}")/xlab.sh"

# IP order, MAC order and Type order all differ; .9 before .12 proves the
# numeric order of addresses.
XLAB_MODULES='{"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "alpha", "ip": "10.77.0.40",
   "subnet": "255.255.255.0", "gateway": "10.77.0.1", "type": "SIM-A", "hostname": "a"},
  {"mac": "02-00-00-00-10-02", "protocol": "text", "password": "bravo", "ip": "10.77.0.12",
   "subnet": "255.255.255.0", "gateway": "10.77.0.1", "type": "SIM-D", "hostname": "b"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "charlie", "ip": "10.77.0.30",
   "subnet": "255.255.255.0", "gateway": "10.77.0.1", "type": "SIM-B", "version": "4.0.2"},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "delta", "ip": "10.77.0.9",
   "subnet": "255.255.255.0", "gateway": "10.77.0.1", "type": "SIM-C", "version": "4.0.2"}
]}'
MODULES=4
PORT=47321

xlab_start

# Where things are in the client area at the start size: the first row of
# the list, the header, button 1 (bottom right).
FIRST_ROW_Y=38
ROW_HEIGHT=14
HEADER_Y=22
TYPE_HEADER_X=480  # inside the Type header with the address columns widened for DejaVu Sans

# The tool as a picker, its scan answered.
start_picker() {
  xlab_listen "$PORT"
  xlab_tool SOCKETCOMM "$PORT"
  xlab_answers "$MODULES"
}
# A popup menu is an override-redirect window without a name: one more
# viewable top-level window than before.
menu_open() {
  # Read whole before it is searched: grep -q may cut the writer off, and
  # under pipefail that reads as no match.
  local tree
  tree=$(inns xwininfo -root -children) &&
    grep -q '"pelmar".*"Pelmar"\|has no name.*([0-9]*x[0-9]*+' <<<"$tree" &&
    [[ $(inns xdotool search --onlyvisible --class pelmar | wc -l) -ge 2 ]]
}
# bold_first_item SHOT X Y: in the menu opened at X,Y, the first item's
# strokes are wider than the other items' (dark pixels per horizontal run).
bold_first_item() {
  measure_items "$@"
  echo "stroke width per menu item:"; cat "$XLAB_WORK/items"
  item_check
}
measure_items() {
  local shot=$1 x=$2 y=$3
  convert "$shot" -crop "200x80+$((x + 4))+$((y + 2))" -colorspace gray txt:- |
    awk -F'[(),: ]+' 'NR > 1 && $4 < 100 {dark[$2 "," $1] = 1; rows[$2] = 1}
      END {for (k in dark) {split(k, p, ","); n[p[1]]++; if (!((p[1] "," p[2] - 1) in dark)) r[p[1]]++}
           for (y in rows) print y, n[y], r[y]}' | sort -n >"$XLAB_WORK/ink"
  # Items are separated by rows without ink.
  awk 'NR == 1 || $1 != last + 1 {i++} {dark[i] += $2; runs[i] += $3; last = $1}
       END {for (k = 1; k <= i; k++) printf "%d %.3f\n", k, dark[k] / runs[k]}' \
    "$XLAB_WORK/ink" >"$XLAB_WORK/items"
}
# item_count SHOT X Y: true once the menu shows at least three items.
item_count() {
  measure_items "$@"
  [[ $(wc -l <"$XLAB_WORK/items") -ge 3 ]]
}
item_check() {
  awk 'NR == 1 {first = $2} NR > 1 && $2 > other {other = $2}
       END {exit !(NR >= 3 && first > 1.25 * other)}' "$XLAB_WORK/items" ||
    fail "the first menu item is not drawn bolder than the others"
}
# pick_last_row SHOT WANT WHAT: selects the last row, shoots, picks it with
# button 1; the picker reply must be WANT ("IP MAC").
pick_last_row() {
  local reply
  click_at 30 "$FIRST_ROW_Y"
  keys End
  xlab_shot "$1"
  press_button1
  reply=$(xlab_reply)
  [[ $reply == "$2" ]] || fail "$3: '$reply'"
}
press_button1() {
  # Tab order: Scan, button 1, list, Settings.
  keys shift+Tab space
}
# window_of TITLE-REGEX: the id of the visible window with that title, once
# it shows.
window_of() {
  wait_until "the window '$1'" inns xdotool search --onlyvisible --name "$1"
  inns xdotool search --onlyvisible --name "$1" | head -1
}
# window_gone TITLE-REGEX: waits until no visible window has that title.
window_gone() {
  gone() { ! inns xdotool search --onlyvisible --name "$1" >/dev/null; }
  wait_until "the window '$1' to close" gone "$1"
}
# has_tool_icon ID: the window carries an icon for the window manager.
has_tool_icon() {
  local icon
  icon=$(inns xprop -id "$1" _NET_WM_ICON)
  # xprop draws each size as text: "Icon (32 x 32):".
  [[ $icon == *"Icon ("[1-9]*" x "[1-9]*"):"* ]] || { echo "${icon:0:200}" >&2; return 1; }
}
# shot_window NAME ID: a screenshot of that window with its frame.
shot_window() {
  timeout 30 ip netns exec "$XLAB_HOST" env DISPLAY="$XLAB_DISPLAY" \
    import -frame -window "$2" "$XLAB_ARTIFACTS/$1.png" && echo "screenshot: $XLAB_ARTIFACTS/$1.png"
}
# A desktop URL opener that writes down what it was asked to open.
fake_url_opener() {
  mkdir -p "$XLAB_WORK/bin"
  printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$XLAB_WORK" >"$XLAB_WORK/bin/xdg-open"
  chmod 755 "$XLAB_WORK/bin/xdg-open"
  INNS+=(PATH="$XLAB_WORK/bin:$PATH")
}

case $scenario in
  start_scan_pick)
    start_picker
    [[ $(inns xdotool getwindowname "$TOOL_WIN") == Pelmar ]] || fail "title"
    pick_last_row "scanned-last-row-selected" "10.77.0.40 02-00-00-00-10-01" "last row by IP is not .40"
    xlab_tool_ends_cleanly "exit status"
    ;;
  sort_by_column)
    # Type ascending (first click on a new column), then descending.
    expect_first() {  # expect_first CLICKS WANTED
      start_picker
      local i
      # A click on a row first, so no header click is spent on bringing the
      # window forward; then clicks apart in place and time, so that two of
      # them never make a double-click.
      click_at 30 "$FIRST_ROW_Y"
      for ((i = 0; i < $1; ++i)); do
        ((i == 0)) || sleep 0.6
        click_at $((TYPE_HEADER_X + 20 * i)) "$HEADER_Y"
      done
      click_at 30 "$FIRST_ROW_Y"
      keys Home
      xlab_shot "type-header-clicked-$1"
      press_button1
      local reply
      reply=$(xlab_reply)
      [[ $reply == "$2" ]] || fail "first row after $1 click(s) on Type: '$reply', not '$2'"
      xlab_tool_ends_cleanly "exit status"
    }
    expect_first 1 "10.77.0.40 02-00-00-00-10-01"   # SIM-A
    expect_first 2 "10.77.0.12 02-00-00-00-10-02"   # SIM-D
    # Without a click the list is in IP order, numerically.
    start_picker
    click_at 30 "$FIRST_ROW_Y"
    keys Home
    press_button1
    [[ $(xlab_reply) == "10.77.0.9 02-00-00-00-20-02" ]] || fail "first row by IP is not .9"
    xlab_tool_ends_cleanly "exit status"
    ;;
  title_bar_close)
    # The close box of openbox's title bar: the tool ends with OK but
    # without taking the selection, so the reply is empty.
    start_picker
    click_at 30 "$FIRST_ROW_Y"
    read -r WIN_X WIN_Y WIN_W WIN_H < <(xlab_geometry)
    frame=$(inns xprop -id "$TOOL_WIN" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,//g')
    read -r _ right top _ <<<"$frame"
    [[ ${top:-0} -gt 10 ]] || fail "no title bar from the window manager ($frame)"
    xlab_shot "before-close"
    # The close button is the right-most one of the title bar.
    # A busy machine may take the first click before openbox has the
    # frame's buttons ready; like a person, click again while the tool runs.
    for attempt in 1 2 3 4 5; do
      click_at $((WIN_W + right - 10)) $((-top / 2))
      for ((i = 0; i < 100; ++i)); do kill -0 "$TOOL_PID" 2>/dev/null || break 2; sleep 0.05; done
    done
    xlab_tool_ends_cleanly "exit status after close"
    [[ $(cat "$XLAB_WORK/reply") == $'<SELECTED_IP></SELECTED_IP>\n<SELECTED_MAC></SELECTED_MAC>' ]] ||
      fail "reply after close: $(cat "$XLAB_WORK/reply")"
    ;;
  minimum_size)
    # Asked for less than 194 x 130, the window stays at that size, and the
    # list and buttons follow the border.
    xlab_tool
    xlab_answers "$MODULES"
    at_size() { read -r _ _ WIN_W WIN_H < <(xlab_geometry); [[ $WIN_W -eq $1 && $WIN_H -eq $2 ]]; }
    # Each request starts from a size it must change: the check sees its effect.
    for request in "120 80" "40 20"; do
      inns xdotool windowsize "$TOOL_WIN" 500 300
      wait_until "the window at 500x300" at_size 500 300
      read -r want_w want_h <<<"$request"
      inns xdotool windowsize "$TOOL_WIN" "$want_w" "$want_h" || true
      wait_until "the window at its minimum after asking ${want_w}x${want_h}" at_size 194 130
    done
    xlab_shot "minimum-size"
    # Larger again, still usable: Exit (button 1) ends the tool.
    inns xdotool windowsize "$TOOL_WIN" 500 300
    wait_until "the window at 500x300" at_size 500 300
    read -r WIN_X WIN_Y WIN_W WIN_H < <(xlab_geometry)
    xlab_shot "resized-500x300"
    # Exit sits at the bottom-right corner, as far from the border as at the start.
    click_at $((WIN_W - 55)) $((WIN_H - 22))
    xlab_tool_ends_cleanly "Exit did not end the tool"
    ;;
  installed_tool)
    # cmake --install, then the installed tool alone: no library beside it,
    # no LD_LIBRARY_PATH; it must load <prefix>/lib/libmdsp.so* and list.
    prefix=$XLAB_WORK/prefix
    for component in library pelmar; do
      cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null ||
        fail "install $component"
    done
    [[ ! -e $prefix/bin/libmdsp.so ]] || fail "a library beside the installed tool"
    XLAB_PELMAR=$prefix/bin/pelmar
    INNS+=(env -u LD_LIBRARY_PATH)
    start_picker
    # The file's identity (device and inode), not its path: in another mount
    # namespace (a container, a chroot) the maps show the path outside it.
    read -r major minor inode < <(stat -L -c '%Hd %Ld %i' "$prefix"/lib*/libmdsp.so.3)
    want=$(printf '%02x:%02x %s' "$major" "$minor" "$inode")
    maps=$(cat "/proc/$TOOL_PID/maps")
    loaded=$(awk '$6 ~ /libmdsp\.so/ {print $4, $5}' <<<"$maps" | sort -u)
    [[ $loaded == "$want" ]] ||
      fail "the installed tool loaded '$loaded', not the installed library ($want)"
    pick_last_row "installed-tool" "10.77.0.40 02-00-00-00-10-01" "installed tool's list"
    xlab_tool_ends_cleanly "exit status"
    ;;
  context_menu | wink)
    # Right-click the first row (10.77.0.9, secure, password delta): the
    # menu's default item, Configuration, is drawn bold.
    xlab_tool
    xlab_answers "$MODULES"
    click_at 30 "$FIRST_ROW_Y"
    click_at 30 "$FIRST_ROW_Y" 3
    wait_until "the row menu" menu_open
    xlab_shot "row-menu"
    if [[ $scenario == context_menu ]]; then
      # A busy machine maps the menu before it paints its items: shoot again
      # until three items show.
      for _ in $(seq 20); do
        item_count "$XLAB_ARTIFACTS/row-menu.png" $((WIN_X + 30)) $((WIN_Y + FIRST_ROW_Y)) && break
        sleep 0.2
        xlab_shot "row-menu" >/dev/null
      done
      bold_first_item "$XLAB_ARTIFACTS/row-menu.png" $((WIN_X + 30)) $((WIN_Y + FIRST_ROW_Y))
      keys Escape
    else
      keys Down Down Down Return
      wait_until "the password prompt" inns xdotool search --onlyvisible --name '^Wink: 02-00-00-00-20-02$'
      xlab_shot "wink-prompt"
      type_text delta
      keys Return
      wait_until "the wink in the simulator's log" grep -q '^event 02-00-00-00-20-02 wink' "$XLAB_WORK/sim.log"
    fi
    keys alt+F4
    xlab_tool_ends_cleanly "exit status"
    ;;
  configure_module)
    # Double-click 10.77.0.12 (text module, password bravo), make its last
    # octet 55, type the password, Set; the list then shows 10.77.0.55 for
    # that MAC, read back through the picker reply.
    start_picker
    click_at 30 $((FIRST_ROW_Y + ROW_HEIGHT)) 1 2
    title='^Configure: 02-00-00-00-10-02$'
    wait_until "the configuration dialog" inns xdotool search --onlyvisible --name "$title"
    dialog=$(inns xdotool search --onlyvisible --name "$title" | head -1)
    read -r dx dy _ _ < <(inns xwininfo -id "$dialog" | awk -F: '
      /Absolute upper-left X/ {x=$2} /Absolute upper-left Y/ {y=$2} END {print x+0, y+0}')
    # The IP address's fourth box, then the password field (dialog units
    # at the 7 x 14 pixel font of the lab's display).
    inns xdotool mousemove $((dx + 280)) $((dy + 39)) sleep 0.1 click --repeat 2 1
    keys ctrl+a
    type_text 55
    inns xdotool mousemove $((dx + 200)) $((dy + 278)) sleep 0.1 click 1
    type_text bravo
    xlab_shot "configuration-dialog"
    keys Return
    wait_until "the module reconfigured" grep -q '^event 02-00-00-00-10-02 text-configure' "$XLAB_WORK/sim.log"
    # The new address in an answer of the module.
    wait_until "an answer with the new address" grep -q "^tx .*$(printf '10.77.0.55' | od -An -tx1 | tr -d ' \n')" "$XLAB_WORK/sim.log"
    dialog_closed() { ! inns xdotool search --onlyvisible --name "$title"; }
    wait_until "the dialog to close" dialog_closed
    pick_last_row "after-configuration" "10.77.0.55 02-00-00-00-10-02" "last row after the change"
    xlab_tool_ends_cleanly "exit status"
    ;;
  keyboard_menu)
    # The second row by IP is 10.77.0.12 (text module 02-00-00-00-10-02).
    # The Menu key and Shift+F10 open that row's menu, not the row above's:
    # the URL opened and the module winked are that row's.
    fake_url_opener
    xlab_tool
    xlab_answers "$MODULES"
    click_at 30 "$FIRST_ROW_Y"
    keys Down
    keys Menu
    wait_until "the row menu from the Menu key" menu_open
    xlab_shot "menu-key-on-second-row"
    keys Down Down Return
    wait_until "the web interface opened" test -s "$XLAB_WORK/opened"
    [[ $(cat "$XLAB_WORK/opened") == "http://10.77.0.12" ]] ||
      fail "the Menu key opened $(cat "$XLAB_WORK/opened"), not http://10.77.0.12"
    keys shift+F10
    wait_until "the row menu from Shift+F10" menu_open
    keys Down Down Down Return
    prompt_or_wink() {
      grep -q '^event 02-00-00-00-10-02 wink' "$XLAB_WORK/sim.log" ||
        inns xdotool search --onlyvisible --name '^Wink: ' >/dev/null
    }
    wait_until "the wink or its prompt" prompt_or_wink
    if ! grep -q '^event 02-00-00-00-10-02 wink' "$XLAB_WORK/sim.log"; then
      inns xdotool search --onlyvisible --name '^Wink: 02-00-00-00-10-02$' >/dev/null ||
        fail "Shift+F10 winks another module"
      type_text bravo
      keys Return
    fi
    wait_until "the wink of 02-00-00-00-10-02" grep -q '^event 02-00-00-00-10-02 wink' "$XLAB_WORK/sim.log"
    if grep '^event ' "$XLAB_WORK/sim.log" | grep wink | grep -qv '02-00-00-00-10-02'; then
      fail "another module was winked: $(grep '^event .*wink' "$XLAB_WORK/sim.log")"
    fi
    keys alt+F4
    xlab_tool_ends_cleanly "exit status"
    ;;
  enter_on_button)
    # Tab order: Scan, button 1, list, Settings. Enter on the focused
    # Settings button opens Settings (it used to scan); Enter on a focused
    # Exit ends the tool.
    xlab_tool
    xlab_answers "$MODULES"
    click_at 30 "$FIRST_ROW_Y"
    keys Tab Return
    window_of '^Settings$' >/dev/null
    keys Escape
    settings_closed() { ! inns xdotool search --onlyvisible --name '^Settings$' >/dev/null; }
    wait_until "Settings to close" settings_closed
    click_at 30 "$FIRST_ROW_Y"
    keys shift+Tab Return
    xlab_tool_ends_cleanly "Enter on Exit"
    ;;
  window_icons)
    # Every window wears the tool's icon and the desktop entry's class;
    # each is shot for a person to look at.
    xlab_tool
    xlab_answers "$MODULES"
    inns xprop -id "$TOOL_WIN" WM_CLASS | grep -q '"pelmar"' ||
      fail "window class $(inns xprop -id "$TOOL_WIN" WM_CLASS) does not match pelmar.desktop"
    has_tool_icon "$TOOL_WIN" || fail "the main window has no icon"
    click_at 30 "$FIRST_ROW_Y"
    shot_window "main-window" "$TOOL_WIN"
    keys F1
    id=$(window_of '^About Pelmar$')
    has_tool_icon "$id" || fail "the About box has no icon"
    sleep 0.3
    shot_window "about" "$id"
    keys Return
    window_gone '^About Pelmar$'
    click_at 30 "$FIRST_ROW_Y"
    keys Tab Return
    id=$(window_of '^Settings$')
    has_tool_icon "$id" || fail "Settings has no icon"
    sleep 0.3
    shot_window "settings" "$id"
    keys Escape
    window_gone '^Settings$'
    click_at 30 "$FIRST_ROW_Y"
    keys Menu
    wait_until "the row menu" menu_open
    keys Down Down Down Return
    id=$(window_of '^Wink: 02-00-00-00-20-02$')
    has_tool_icon "$id" || fail "the password prompt has no icon"
    sleep 0.3
    shot_window "password-prompt" "$id"
    keys Escape
    window_gone '^Wink: '
    click_at 30 "$FIRST_ROW_Y" 1 2
    id=$(window_of '^Configure: 02-00-00-00-20-02$')
    has_tool_icon "$id" || fail "the configuration dialog has no icon"
    sleep 0.3
    shot_window "configuration-dialog" "$id"
    keys Escape
    window_gone '^Configure: '
    keys alt+F4
    xlab_tool_ends_cleanly "exit status"
    ;;
  capability_start)
    # The DHCP port's capability granted to the tool in a root-owned
    # folder: started as nobody it runs in secure-execution mode, still
    # finds and loads the library and lists the modules.
    command -v setcap >/dev/null && command -v setpriv >/dev/null || skip "setcap/setpriv missing"
    grant=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../packaging" && pwd)/grant-bind-capability.sh
    prefix=$XLAB_WORK/cap
    mkdir -p "$prefix/bin" "$XLAB_WORK/nobody"
    chown 65534:65534 "$XLAB_WORK/nobody"
    chmod 700 "$XLAB_WORK/nobody"
    cp "$XLAB_PELMAR" "$prefix/bin/pelmar"
    cp "$(realpath "$(dirname "$XLAB_PELMAR")/libmdsp.so")" "$prefix/bin/libmdsp.so"
    "$grant" "$prefix/bin/pelmar" >"$XLAB_WORK/grant.log" 2>&1 || { cat "$XLAB_WORK/grant.log"; fail "grant"; }
    XLAB_PELMAR=$prefix/bin/pelmar
    INNS+=(HOME="$XLAB_WORK/nobody" XDG_CONFIG_HOME="$XLAB_WORK/nobody/.config"
           XDG_RUNTIME_DIR="$XLAB_WORK/nobody" setpriv --reuid=65534 --regid=65534 --clear-groups --)
    start_picker
    [[ $(stat -c %u "/proc/$TOOL_PID") -eq 65534 ]] || fail "the tool does not run as nobody"
    caps=$(awk '/^CapEff/ {print $2}' "/proc/$TOOL_PID/status")
    (( (16#$caps >> 10) & 1 )) || fail "no cap_net_bind_service in effect ($caps)"
    grep -q "$prefix/bin/libmdsp.so" "/proc/$TOOL_PID/maps" || fail "library not loaded"
    pick_last_row "granted-tool-as-nobody" "10.77.0.40 02-00-00-00-10-01" "granted tool's list"
    xlab_tool_ends_cleanly "exit status"
    ;;
  *) fail "unknown scenario $scenario" ;;
esac
echo "xwindow $scenario OK"
