#!/bin/bash
# Types Japanese into holvane through a real input method (ibus or fcitx5,
# each with Mozc) on a virtual display, and checks what each step left in
# the saved file. A check for people, not for CI: it needs the input method
# packages (ibus-mozc, fcitx5-mozc, fcitx5-frontend-qt6), Xvfb and xdotool,
# and root, since Mozc refuses to run as root and so everything here runs as
# nobody.
#
#   tools/check_input_methods.sh [ibus|fcitx5] [PROGRAM]
#
# The checks, each on a fresh document in code page 932:
#   commit     "sakura", Space, Return: 桜 goes in where the caret is;
#   over       "abc" with b selected, "ka", Return: aかc; then Undo gives
#              abc back (undo), and a second Undo aかc again (redo);
#   cancel     "sakura", Escape, then a menu command: no さくら comes back;
#   command    "sakura" then a tag from the menu while the reading shows:
#              the reading is committed first, once;
#   click      "sakura" then a click at the start of the text: the reading
#              goes in where it was typed, not where the click was.
set -u
framework="${1:-ibus}"
program="$(realpath "${2:-build/holvane}")"
display=":$((70 + RANDOM % 20))"
work=$(mktemp -d /tmp/holvane-im.XXXXXX)
chmod 755 "$work"
chown nobody:nogroup "$work"
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work" DISPLAY="$display" "$@"; }

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; pkill -u nobody -f "holvane|ibus|fcitx5|dbus-daemon|mozc" 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
# Mozc starts in direct input unless told otherwise.
mkdir -p "$work/.config/mozc"
printf 'engines {\n  name : "mozc-jp"\n  longname : "Mozc"\n  layout : "default"\n  rank : 80\n}\nactive_on_launch: True\n' \
    >"$work/.config/mozc/ibus_config.textproto"
chown -R nobody:nogroup "$work/.config"
bus=$(as_nobody dbus-daemon --session --fork --print-address)
export DBUS_SESSION_BUS_ADDRESS="$bus"
if [ "$framework" = ibus ]; then
    as_nobody env DBUS_SESSION_BUS_ADDRESS="$bus" ibus-daemon --panel=disable --replace --daemonize
    module=ibus
else
    mkdir -p "$work/.config/fcitx5"
    printf '[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=mozc\n[Groups/0/Items/0]\nName=keyboard-us\n[Groups/0/Items/1]\nName=mozc\n[GroupOrder]\n0=Default\n' >"$work/.config/fcitx5/profile"
    chown -R nobody:nogroup "$work/.config"
    as_nobody env DBUS_SESSION_BUS_ADDRESS="$bus" fcitx5 -d >/dev/null 2>&1
    module=fcitx
fi
sleep 3

failures=0
# Starts the editor on a document, runs the steps, saves and compares.
check() {
    local name="$1" start="$2" expected="$3"
    shift 3
    local doc="$work/$name.html"
    printf '%s' "$start" | iconv -f UTF-8 -t CP932 >"$doc"
    chown nobody:nogroup "$doc"
    # Not through as_nobody: $! must be the editor itself, to end it.
    setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work" DISPLAY="$display" \
        DBUS_SESSION_BUS_ADDRESS="$bus" QT_IM_MODULE="$module" "$program" "$doc" >/dev/null 2>&1 &
    local editor=$!
    local window=""
    for _ in $(seq 50); do
        window=$(DISPLAY="$display" xdotool search --onlyvisible --name ' - holvas$' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.2
    done
    sleep 1.5 # the window settles: moved to the centre, its input context made
    DISPLAY="$display" xdotool windowfocus --sync "$window"
    sleep 0.5
    if [ "$framework" = ibus ]; then
        as_nobody env DBUS_SESSION_BUS_ADDRESS="$bus" ibus engine mozc-jp
    else
        as_nobody env DBUS_SESSION_BUS_ADDRESS="$bus" fcitx5-remote -o
        as_nobody env DBUS_SESSION_BUS_ADDRESS="$bus" fcitx5-remote -s mozc
    fi
    sleep 0.5
    "$@" "$window"
    [ -n "${SHOTS:-}" ] && DISPLAY="$display" import -window root "$SHOTS/$framework-$name.png"
    # Save through the menu: Alt+F, S.
    DISPLAY="$display" xdotool windowfocus --sync "$window" key --delay 150 alt+f s
    sleep 0.8
    local got
    got=$(iconv -f CP932 -t UTF-8 "$doc")
    if [ "$got" = "$expected" ]; then
        echo "$framework $name: ok ($got)"
    else
        echo "$framework $name: FAILED: got '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
    kill "$editor" 2>/dev/null
    wait "$editor" 2>/dev/null
}
keys() { local w="$1"; shift; DISPLAY="$display" xdotool windowfocus --sync "$w" key --delay 120 "$@"; sleep 0.6; }
typed() { local w="$1"; shift; DISPLAY="$display" xdotool windowfocus --sync "$w" type --delay 120 "$@"; sleep 0.6; }

commit_steps() { keys "$1" ctrl+End; typed "$1" sakura; keys "$1" space Return; }
over_steps() { keys "$1" ctrl+Home Right shift+Right; typed "$1" ka; keys "$1" Return; }
undo_steps() { over_steps "$1"; keys "$1" alt+e u; }
redo_steps() { over_steps "$1"; keys "$1" alt+e u; keys "$1" alt+e u; }
cancel_steps() { keys "$1" ctrl+End; typed "$1" sakura; keys "$1" Escape; keys "$1" alt+s 1; }
# A click elsewhere while a reading shows: the reading goes in where it was typed.
click_steps() {
    keys "$1" ctrl+End
    typed "$1" sakura
    DISPLAY="$display" xdotool mousemove --window "$1" 12 30 click 1
    sleep 0.6
}
# While a reading shows, Mozc takes Alt and the letter: the menu is chosen with the mouse.
command_steps() {
    keys "$1" ctrl+End
    typed "$1" sakura
    DISPLAY="$display" xdotool mousemove --window "$1" 240 10 click 1
    sleep 0.6
    DISPLAY="$display" xdotool mousemove --window "$1" 250 34 click 1
    sleep 0.6
}

for name in ${CHECKS:-commit over undo redo cancel command click}; do
    case "$name" in
    commit) check commit "<P>" "<P>桜" commit_steps ;;
    over) check over "abc" "aかc" over_steps ;;
    undo) check undo "abc" "abc" undo_steps ;;
    redo) check redo "abc" "aかc" redo_steps ;;
    cancel) check cancel "<P>" "<P><BR>" cancel_steps ;;
    command) check command "<P>" "<P>さくら<BR>" command_steps ;;
    click) check click "<P>abc" "<P>abcさくら" click_steps ;;
    esac
done
exit "$failures"
