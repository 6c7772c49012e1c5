// The extension's one object on the session bus. It offers Pellmar what the
// Shell alone may do on GNOME: the monitors with their connectors, pointer
// barriers that report pushes, the pointer's monitor and position, a warp,
// and curtains over monitors. It decides nothing: every rule stays in
// Pellmar. Whatever it made for its client goes when the client leaves the
// bus or the extension is disabled.

import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import St from 'gi://St';

import * as Main from 'resource:///org/gnome/shell/ui/main.js';

import * as Contract from './contract.js';

function makeBarrier(x1, y1, x2, y2, directions) {
    const where = {x1, y1, x2, y2, directions};
    // Mutter 46 made barriers per backend; 45 had them per display.
    if ('backend' in Meta.Barrier.prototype)
        return new Meta.Barrier({backend: global.backend, ...where});
    return new Meta.Barrier({display: global.display, ...where});
}

// The Shell's own barriers that a warp may meet: beside the top bar, and
// the hot corners'. Found by looking, as the Shell keeps them to itself;
// one it keeps elsewhere is not gone around.
function shellBarriers() {
    const layout = Main.layoutManager;
    const holders = [layout, ...(layout.hotCorners ?? []).filter(c => c)];
    return holders.flatMap(h => Object.values(h).filter(v => v instanceof Meta.Barrier));
}

function seat() {
    return global.stage.context.get_backend().get_default_seat();
}

export class ShellService {
    constructor() {
        this._client = null;
        this._clientWatch = 0;
        this._monitors = [];
        this._monitorsAsked = 0;
        this._barriers = [];
        // Pellmar's barriers standing aside for a warp: index -> segment, and
        // the point the warp goes to.
        this._aside = new Map();
        this._asideUntil = null;
        this._asideTimer = 0;
        this._generation = 0;
        this._curtains = new Map(); // connector -> St.Widget
        this._curtainWanted = [];
        this._positionInterval = 0;
        this._positionTimer = 0;
        this._positionSentAt = 0;
        this._pointerMonitor = '';
        this._focusWindow = null;
        this._focusWindowId = 0;
        this._fullscreen = false;

        this._dbus = Gio.DBusExportedObject.wrapJSObject(Contract.INTERFACE_XML, this);
        this._dbus.export(Gio.DBus.session, Contract.OBJECT_PATH);
        this._readMonitors();
        this._monitorsId = Main.layoutManager.connect('monitors-changed',
            () => this._readMonitors());
        this._tracker = global.backend.get_cursor_tracker();
        this._trackerId = this._tracker.connect('position-invalidated',
            () => this._pointerMoved());
        this._focusId = global.display.connect('notify::focus-window',
            () => this._followFocus());
        this._followFocus();
        // The name is owned once the monitors are known (_readMonitors): a
        // client that sees it finds everything ready.
        this._nameId = 0;
    }

    destroy() {
        if (this._nameId)
            Gio.bus_unown_name(this._nameId);
        this._release();
        this._dbus.unexport();
        Main.layoutManager.disconnect(this._monitorsId);
        this._tracker.disconnect(this._trackerId);
        global.display.disconnect(this._focusId);
        this._watchWindow(null);
        this._monitorsAsked++; // a reply still on its way finds nothing to do
    }

    get Version() {
        return Contract.VERSION;
    }

    // Calls.

    AttachAsync(_params, invocation) {
        const sender = invocation.get_sender();
        if (this._client !== null && sender !== this._client) {
            // Nobody takes the pointer from the program that has it.
            invocation.return_dbus_error(Contract.ERROR_TAKEN,
                'Another program is attached to the extension');
            return;
        }
        if (this._client === null) {
            this._client = sender;
            this._clientWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => {
                    if (this._client === sender)
                        this._release();
                });
        }
        invocation.return_value(new GLib.Variant('(u)', [Contract.VERSION]));
    }

    GetMonitorsAsync(_params, invocation) {
        invocation.return_value(new GLib.Variant('(a(siiii))', [this._monitorList()]));
    }

    GetPointerAsync(_params, invocation) {
        const [x, y, state] = global.get_pointer();
        invocation.return_value(new GLib.Variant('(ddus)', [x, y, state, this._monitorOf(x, y)]));
    }

    GetFullscreenAsync(_params, invocation) {
        invocation.return_value(new GLib.Variant('(b)', [this._fullscreen]));
    }

    WatchPositionAsync([intervalMs], invocation) {
        if (!this._fromClient(invocation) ||
            this._refuse(invocation, Contract.checkInterval(intervalMs)))
            return;
        this._positionInterval = intervalMs;
        if (intervalMs === 0)
            this._stopPositionTimer();
        else
            this._sendPosition();
        invocation.return_value(null);
    }

    SetBarriersAsync([generation, segments], invocation) {
        if (!this._fromClient(invocation) ||
            this._refuse(invocation, Contract.checkBarriers(this._monitors, segments)))
            return;
        this._dropBarriers();
        this._generation = generation;
        this._barriers = segments.map((segment, index) => this._raise(index, segment));
        invocation.return_value(null);
    }

    WarpAsync([x, y], invocation) {
        if (!this._fromClient(invocation) ||
            this._refuse(invocation, Contract.checkPoint(this._monitors, x, y)))
            return;
        const [px, py] = global.get_pointer();
        const to = [Math.floor(x), Math.floor(y)];
        // Around the Shell's own barriers; Pellmar's own are no wall to its
        // jumps: every one the way touches, the one the pointer pushes
        // among them, stands aside until the pointer is there. (A barrier
        // released for a push can still hold a warp that comes with a
        // newer push.)
        const route = Contract.warpRoute(this._monitors,
            shellBarriers().map(b => [b.x1, b.y1, b.x2, b.y2, b.directions]), [px, py], to);
        const open = Contract.POSITIVE_X | Contract.NEGATIVE_X | Contract.POSITIVE_Y |
            Contract.NEGATIVE_Y;
        const walls = this._barriers.map(b => b ? [b.x1, b.y1, b.x2, b.y2, 0] : [0, 0, 0, 0, open]);
        for (const index of Contract.barriersMet(walls, [px, py], route))
            this._standAside(index);
        if (this._aside.size > 0)
            this._returnWhenAt(route[route.length - 1]);
        // Queued in order: each hop starts where the one before ended.
        for (const [hx, hy] of route)
            seat().warp_pointer(hx, hy);
        invocation.return_value(null);
    }

    SetCurtainsAsync([curtains], invocation) {
        if (!this._fromClient(invocation) ||
            this._refuse(invocation, Contract.checkCurtains(this._monitors, curtains)))
            return;
        this._curtainWanted = curtains;
        this._drawCurtains();
        invocation.return_value(null);
    }

    // The client.

    _fromClient(invocation) {
        if (this._client !== null && invocation.get_sender() === this._client)
            return true;
        invocation.return_dbus_error(Contract.ERROR_NOT_ATTACHED,
            'Only the attached client may change anything; call Attach first');
        return false;
    }

    _refuse(invocation, why) {
        if (why === null)
            return false;
        invocation.return_dbus_error(Contract.ERROR_INVALID, why);
        return true;
    }

    // Everything the client had goes with it.
    _release() {
        if (this._clientWatch)
            Gio.bus_unwatch_name(this._clientWatch);
        this._clientWatch = 0;
        const had = this._client !== null;
        this._client = null;
        this._pointerMonitor = '';
        this._dropBarriers();
        this._curtainWanted = [];
        this._drawCurtains();
        this._positionInterval = 0;
        this._stopPositionTimer();
        if (had)
            this._dbus.emit_signal('Released', null);
    }

    // News for the client alone: where the pointer is concerns nobody else.
    _emit(name, signature, values) {
        if (this._client === null)
            return;
        Gio.DBus.session.emit_signal(this._client, Contract.OBJECT_PATH, Contract.INTERFACE,
            name, new GLib.Variant(signature, values));
    }

    // Monitors.

    _monitorList() {
        return this._monitors.map(m => [m.connector, m.x, m.y, m.width, m.height]);
    }

    _monitorOf(x, y) {
        const i = Contract.monitorAt(this._monitors, Math.floor(x), Math.floor(y));
        return i < 0 ? '' : this._monitors[i].connector;
    }

    // The layout is the Shell's; the connectors come from Mutter's display
    // configuration, asked on the bus (the monitor manager maps a connector
    // to its monitor, but not back).
    _readMonitors() {
        const asked = ++this._monitorsAsked;
        Gio.DBus.session.call('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig',
            'org.gnome.Mutter.DisplayConfig', 'GetCurrentState', null, null,
            Gio.DBusCallFlags.NONE, -1, null, (connection, result) => {
                if (asked !== this._monitorsAsked)
                    return; // a newer layout is on its way
                const connectors = new Map();
                try {
                    const [, monitors] = connection.call_finish(result).deepUnpack();
                    const manager = global.backend.get_monitor_manager();
                    for (const [[connector]] of monitors) {
                        const index = manager.get_monitor_for_connector(connector);
                        if (index >= 0 && !connectors.has(index))
                            connectors.set(index, connector);
                    }
                } catch (e) {
                    console.warn(`Pellmar: the monitors' connectors are not known: ${e.message}`);
                }
                this._setMonitors(Main.layoutManager.monitors.map(m => ({
                    connector: connectors.get(m.index) ?? `Monitor-${m.index + 1}`,
                    x: m.x, y: m.y, width: m.width, height: m.height,
                })));
                if (!this._nameId) {
                    this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session,
                        Contract.BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
                }
            });
    }

    _setMonitors(monitors) {
        if (JSON.stringify(monitors) === JSON.stringify(this._monitors))
            return;
        this._monitors = monitors;
        // Barriers laid for the old layout could stand in the middle of a
        // monitor now: gone until the client lays them anew. Curtains follow
        // their monitors, or go with them.
        this._dropBarriers();
        this._curtainWanted = this._curtainWanted.filter(([connector]) =>
            monitors.some(m => m.connector === connector));
        this._drawCurtains();
        this._dbus.emit_signal('MonitorsChanged',
            new GLib.Variant('(a(siiii))', [this._monitorList()]));
        this._pointerMoved();
    }

    // Barriers.

    // One of Pellmar's barriers, `index` of the set it last sent.
    _raise(index, [x1, y1, x2, y2, directions]) {
        const barrier = makeBarrier(x1, y1, x2, y2, directions);
        const generation = this._generation;
        barrier.connect('hit', (_b, event) => {
            // Only a push across the line: a warp that runs along it (going
            // around another barrier) touches it too.
            if ((x1 === x2 ? event.dx : event.dy) === 0)
                return;
            this._emit('BarrierHit', '(uuddddu)', [
                generation, index, event.x, event.y, event.dx, event.dy,
                global.get_pointer()[2],
            ]);
        });
        return barrier;
    }

    _standAside(index) {
        const barrier = this._barriers[index];
        this._aside.set(index, [barrier.x1, barrier.y1, barrier.x2, barrier.y2,
            barrier.directions]);
        barrier.destroy();
        this._barriers[index] = null;
    }

    // The barriers that stood aside come back once the pointer is at `point`
    // (a warp is done when the Shell says the pointer is there), or after
    // half a second, whatever became of it.
    _returnWhenAt(point) {
        this._asideUntil = point;
        if (this._asideTimer)
            GLib.source_remove(this._asideTimer);
        let tries = 50;
        this._asideTimer = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 10, () => {
            const [x, y] = global.get_pointer();
            const there = x === this._asideUntil[0] && y === this._asideUntil[1];
            if (!there && --tries > 0)
                return GLib.SOURCE_CONTINUE;
            this._asideTimer = 0;
            this._bringBack();
            return GLib.SOURCE_REMOVE;
        });
    }

    _bringBack() {
        for (const [index, segment] of this._aside)
            this._barriers[index] = this._raise(index, segment);
        this._aside.clear();
    }

    _dropBarriers() {
        if (this._asideTimer)
            GLib.source_remove(this._asideTimer);
        this._asideTimer = 0;
        this._aside.clear();
        for (const barrier of this._barriers)
            barrier?.destroy();
        this._barriers = [];
    }

    // Curtains: plain actors above every window, never reactive, so every
    // click and motion reaches what lies below.

    _drawCurtains() {
        const wanted = new Map(this._curtainWanted);
        for (const [connector, actor] of this._curtains) {
            if (!wanted.has(connector)) {
                actor.destroy();
                this._curtains.delete(connector);
            }
        }
        for (const [connector, darkness] of wanted) {
            const m = this._monitors.find(monitor => monitor.connector === connector);
            let actor = this._curtains.get(connector);
            if (!actor) {
                actor = new St.Widget({reactive: false, can_focus: false, track_hover: false});
                Main.layoutManager.uiGroup.add_child(actor);
                this._curtains.set(connector, actor);
            }
            actor.set_style(`background-color: rgba(0, 0, 0, ${darkness / 100});`);
            actor.set_position(m.x, m.y);
            actor.set_size(m.width, m.height);
            Main.layoutManager.uiGroup.set_child_above_sibling(actor, null);
        }
    }

    // The pointer.

    _pointerMoved() {
        // Called on every motion of the pointer: nothing to do for nobody.
        if (this._client === null)
            return;
        const [x, y] = global.get_pointer();
        const monitor = this._monitorOf(x, y);
        if (monitor !== this._pointerMonitor) {
            this._pointerMonitor = monitor;
            this._emit('PointerMonitorChanged', '(s)', [monitor]);
        }
        if (this._positionInterval === 0 || this._positionTimer)
            return;
        // At most one position per interval, and the last one always: the
        // readout ends where the pointer came to rest.
        const wait = this._positionSentAt + this._positionInterval - GLib.get_monotonic_time() / 1000;
        if (wait <= 0) {
            this._sendPosition();
            return;
        }
        this._positionTimer = GLib.timeout_add(GLib.PRIORITY_DEFAULT, Math.ceil(wait), () => {
            this._positionTimer = 0;
            this._sendPosition();
            return GLib.SOURCE_REMOVE;
        });
    }

    _sendPosition() {
        this._positionSentAt = GLib.get_monotonic_time() / 1000;
        const [x, y, state] = global.get_pointer();
        this._emit('Position', '(ddu)', [x, y, state]);
    }

    _stopPositionTimer() {
        if (this._positionTimer)
            GLib.source_remove(this._positionTimer);
        this._positionTimer = 0;
    }

    // Whether the focused window fills its monitor.

    _followFocus() {
        this._watchWindow(global.display.focus_window);
        this._fullscreenMayHaveChanged();
    }

    _watchWindow(window) {
        if (this._focusWindow && this._focusWindowId)
            this._focusWindow.disconnect(this._focusWindowId);
        this._focusWindow = window;
        this._focusWindowId = window
            ? window.connect('notify::fullscreen', () => this._fullscreenMayHaveChanged())
            : 0;
    }

    _fullscreenMayHaveChanged() {
        const on = this._focusWindow?.is_fullscreen() ?? false;
        if (on === this._fullscreen)
            return;
        this._fullscreen = on;
        this._emit('FullscreenChanged', '(b)', [on]);
    }
}
