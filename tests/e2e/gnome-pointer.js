// The pointer of a GNOME Shell session moved as a device moves it: a remote
// desktop session of Mutter's, held for as long as this program runs (it
// ends when its caller leaves the bus). One command a line on stdin, one
// answer a line on stdout:
//   rel DX DY        relative motion
//   button down|up   the left button
//   key CODE down|up a key by its evdev code (42 is the left Shift)
//   quit
import Gio from 'gi://Gio';
import GioUnix from 'gi://GioUnix';
import GLib from 'gi://GLib';
import System from 'system';

const BTN_LEFT = 0x110;
const bus = Gio.DBus.session;

function call(path, iface, method, args = null) {
    return bus.call_sync('org.gnome.Mutter.RemoteDesktop', path, iface, method, args, null,
        Gio.DBusCallFlags.NONE, -1, null);
}

function answer(line) {
    print(line);
}

let session;
try {
    [session] = call('/org/gnome/Mutter/RemoteDesktop', 'org.gnome.Mutter.RemoteDesktop',
        'CreateSession').deepUnpack();
    call(session, 'org.gnome.Mutter.RemoteDesktop.Session', 'Start');
} catch (e) {
    answer(`error ${e.message}`);
    System.exit(1);
}
answer('ready');

const input = new Gio.DataInputStream({base_stream: new GioUnix.InputStream({fd: 0, close_fd: false})});
const notify = (method, args) =>
    call(session, 'org.gnome.Mutter.RemoteDesktop.Session', method, args);
for (;;) {
    const [line] = input.read_line_utf8(null);
    if (line === null || line === 'quit')
        break;
    const words = line.trim().split(/\s+/);
    try {
        if (words[0] === 'rel' && words.length === 3)
            notify('NotifyPointerMotionRelative', new GLib.Variant('(dd)', [+words[1], +words[2]]));
        else if (words[0] === 'button' && (words[1] === 'down' || words[1] === 'up'))
            notify('NotifyPointerButton', new GLib.Variant('(ib)', [BTN_LEFT, words[1] === 'down']));
        else if (words[0] === 'key' && words.length === 3 && (words[2] === 'down' || words[2] === 'up'))
            notify('NotifyKeyboardKeycode', new GLib.Variant('(ub)', [+words[1], words[2] === 'down']));
        else
            throw new Error('unknown command');
        answer('ok');
    } catch (e) {
        answer(`error ${line}: ${e.message}`);
    }
}
try {
    call(session, 'org.gnome.Mutter.RemoteDesktop.Session', 'Stop');
} catch {
    // The shell may be gone already.
}
