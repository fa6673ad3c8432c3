#!/bin/bash
# What a screen reader finds in holvane, through AT-SPI on a virtual display:
# the pane's text, the caret, the line at an offset, the selection, and the
# events of typing and of moving the caret. A check for people, not for CI:
# it needs Xvfb, xdotool, at-spi2-core and python3-pyatspi.
#
#   tools/check_screen_reader.sh [PROGRAM]
set -u
program="$(realpath "${1:-build/holvane}")"
display=":$((90 + RANDOM % 9))"
work=$(mktemp -d /tmp/holvane-a11y.XXXXXX)
printf '<HTML>\r\n一行目の文章\r\nsecond line\r\n' >"$work/doc.html"
iconv -f UTF-8 -t CP932 "$work/doc.html" >"$work/page.html"

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $editor 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY="$display"
# Recovery files of an earlier run would be offered first, in a dialog with the focus.
export XDG_STATE_HOME="$work/state"
eval "$(dbus-launch --sh-syntax)"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
sleep 1
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" "$work/page.html" >/dev/null 2>&1 &
editor=$!
sleep 2
window=$(xdotool search --onlyvisible --name ' - holvas$' | head -1)
xdotool windowfocus --sync "$window"
sleep 0.5

/usr/bin/python3 - "$window" <<'PYTHON'
import subprocess, sys, time
import pyatspi
from gi.repository import GLib

window = sys.argv[1]
events = []
def heard(event):
    events.append((event.type, event.detail1, event.detail2, event.any_data))
pyatspi.Registry.registerEventListener(heard, 'object:text-changed:insert', 'object:text-changed:delete',
                                       'object:text-caret-moved', 'object:text-selection-changed')

def find(node, depth=0):
    if node is None or depth > 12:
        return None
    if node.getRole() == pyatspi.ROLE_TEXT or 'EditableText' in pyatspi.utils.listInterfaces(node) and node.getRole() != pyatspi.ROLE_FRAME:
        if node.getState().contains(pyatspi.STATE_EDITABLE) and node.getState().contains(pyatspi.STATE_MULTI_LINE):
            return node
    for child in node:
        found = find(child, depth + 1)
        if found:
            return found
    return None

def run(seconds, *commands):
    for command in commands:
        subprocess.run(['xdotool', 'windowfocus', '--sync', window] + command)
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()

desktop = pyatspi.Registry.getDesktop(0)
apps = [a for a in desktop if a is not None]
app = next(a for a in apps if 'holvane' in (a.name or ''))
pane = find(app)
failures = 0
def expect(what, got, wanted):
    global failures
    ok = got == wanted
    failures += not ok
    print(('ok      ' if ok else 'FAILED  ') + what + ': ' + repr(got) + ('' if ok else '  (expected ' + repr(wanted) + ')'))

text = pane.queryText()
expect('the pane is named', pane.name, '本文')
expect('its text', text.getText(0, -1), '<HTML>\r\n一行目の文章\r\nsecond line\r\n')
expect('the caret at the start', text.caretOffset, 0)
expect('the line at offset 10', text.getTextAtOffset(10, pyatspi.TEXT_BOUNDARY_LINE_START)[0], '一行目の文章\r\n')
run(0.8, ['key', 'Down', 'End'])
expect('the caret after Down and End', text.caretOffset, 14)
expect('caret-moved heard', any(e[0] == 'object:text-caret-moved' and e[1] == 14 for e in events), True)
events.clear()
run(0.8, ['type', 'x'])
expect('a typed x heard as an insertion', [(e[1], e[2], e[3]) for e in events if e[0] == 'object:text-changed:insert'], [(14, 1, 'x')])
expect('the text after typing', text.getText(8, 16), '一行目の文章x\r')
run(0.8, ['key', 'shift+Home'])
expect('the selection after Shift+Home', text.getSelection(0), (8, 15))
events.clear()
run(0.8, ['key', 'BackSpace'])
expect('the selection deleted heard', [(e[1], e[2], e[3]) for e in events if e[0] == 'object:text-changed:delete'], [(8, 7, '一行目の文章x')])
rect = text.getCharacterExtents(8, pyatspi.DESKTOP_COORDS)
expect('a character has a place on screen', rect[2] > 0 and rect[3] > 0, True)
sys.exit(failures)
PYTHON
