// What Pellmar and this extension say to each other on the session bus, and
// the checks every argument passes before anything is drawn or moved. Plain
// functions of plain values: no Shell import, so they run under gjs alone.

export const BUS_NAME = 'com.brenvik.Pellmar.Shell';
export const OBJECT_PATH = '/com/brenvik/Pellmar/Shell';
export const INTERFACE = 'com.brenvik.Pellmar.Shell';
export const ERROR_INVALID = 'com.brenvik.Pellmar.Shell.Error.InvalidArgs';
export const ERROR_NOT_ATTACHED = 'com.brenvik.Pellmar.Shell.Error.NotAttached';
export const ERROR_TAKEN = 'com.brenvik.Pellmar.Shell.Error.Taken';

// Raised whenever the interface changes in a way Pellmar must know of; a
// Pellmar that expects another version says so instead of guessing.
export const VERSION = 1;

// Meta.BarrierDirection: the directions a barrier lets the pointer through.
export const POSITIVE_X = 1;
export const POSITIVE_Y = 2;
export const NEGATIVE_X = 4;
export const NEGATIVE_Y = 8;

export const MAX_BARRIERS = 256;
// No desktop is this large; anything beyond is a mistake or an attack.
export const MAX_COORDINATE = 1 << 20;
export const MIN_INTERVAL_MS = 8;
export const MAX_INTERVAL_MS = 10000;

export const INTERFACE_XML = `<node>
  <interface name="${INTERFACE}">
    <property name="Version" type="u" access="read"/>
    <!-- Makes the caller the one client: the barriers, curtains and
         pointer news are its own, and go when it leaves the bus. Refused
         while another client is on the bus; Released tells everyone when
         it has gone. -->
    <method name="Attach">
      <arg type="u" name="version" direction="out"/>
    </method>
    <signal name="Released"/>
    <method name="GetMonitors">
      <arg type="a(siiii)" name="monitors" direction="out"/>
    </method>
    <signal name="MonitorsChanged">
      <arg type="a(siiii)" name="monitors"/>
    </signal>
    <method name="GetPointer">
      <arg type="d" name="x" direction="out"/>
      <arg type="d" name="y" direction="out"/>
      <arg type="u" name="state" direction="out"/>
      <arg type="s" name="monitor" direction="out"/>
    </method>
    <signal name="PointerMonitorChanged">
      <arg type="s" name="monitor"/>
    </signal>
    <method name="WatchPosition">
      <arg type="u" name="intervalMs" direction="in"/>
    </method>
    <signal name="Position">
      <arg type="d" name="x"/>
      <arg type="d" name="y"/>
      <arg type="u" name="state"/>
    </signal>
    <method name="SetBarriers">
      <arg type="u" name="generation" direction="in"/>
      <arg type="a(iiiiu)" name="segments" direction="in"/>
    </method>
    <signal name="BarrierHit">
      <arg type="u" name="generation"/>
      <arg type="u" name="index"/>
      <arg type="d" name="x"/>
      <arg type="d" name="y"/>
      <arg type="d" name="dx"/>
      <arg type="d" name="dy"/>
      <arg type="u" name="state"/>
    </signal>
    <method name="Warp">
      <arg type="d" name="x" direction="in"/>
      <arg type="d" name="y" direction="in"/>
    </method>
    <method name="SetCurtains">
      <arg type="a(su)" name="curtains" direction="in"/>
    </method>
    <method name="GetFullscreen">
      <arg type="b" name="fullscreen" direction="out"/>
    </method>
    <signal name="FullscreenChanged">
      <arg type="b" name="fullscreen"/>
    </signal>
  </interface>
</node>`;

// A monitor as the client sees it: {connector, x, y, width, height} in
// logical pixels.

function finite(v) {
    return typeof v === 'number' && Number.isFinite(v) && Math.abs(v) <= MAX_COORDINATE;
}

// The index of the monitor holding (x, y), or -1.
export function monitorAt(monitors, x, y) {
    return monitors.findIndex(m =>
        x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height);
}

// Why a point cannot be warped to, or null.
export function checkPoint(monitors, x, y) {
    if (!finite(x) || !finite(y))
        return `(${x}, ${y}) is not a usable coordinate`;
    if (monitorAt(monitors, Math.floor(x), Math.floor(y)) < 0)
        return `(${x}, ${y}) is on no monitor`;
    return null;
}

// Why a list of barrier segments [x1, y1, x2, y2, directions] cannot be
// set, or null. Each must run along one axis, lie on a monitor (its edges
// included), and block motion across itself only.
export function checkBarriers(monitors, segments) {
    if (!Array.isArray(segments) || segments.length > MAX_BARRIERS)
        return `at most ${MAX_BARRIERS} barriers`;
    for (const [i, s] of segments.entries()) {
        if (!Array.isArray(s) || s.length !== 5)
            return `barrier ${i} is not (x1, y1, x2, y2, directions)`;
        const [x1, y1, x2, y2, directions] = s;
        if (![x1, y1, x2, y2].every(finite))
            return `barrier ${i} has an unusable coordinate`;
        const vertical = x1 === x2 && y1 !== y2;
        const horizontal = y1 === y2 && x1 !== x2;
        if (!vertical && !horizontal)
            return `barrier ${i} is not a line along one axis`;
        const all = POSITIVE_X | NEGATIVE_X | POSITIVE_Y | NEGATIVE_Y;
        if (!Number.isInteger(directions) || (directions & ~all) !== 0)
            return `barrier ${i} has unknown directions`;
        const across = vertical ? POSITIVE_X | NEGATIVE_X : POSITIVE_Y | NEGATIVE_Y;
        if ((directions & across) === across)
            return `barrier ${i} lets the pointer through both ways: no barrier at all`;
        const [lowX, highX] = [Math.min(x1, x2), Math.max(x1, x2)];
        const [lowY, highY] = [Math.min(y1, y2), Math.max(y1, y2)];
        const onMonitor = monitors.some(m =>
            lowX >= m.x && highX <= m.x + m.width && lowY >= m.y && highY <= m.y + m.height);
        if (!onMonitor)
            return `barrier ${i} is outside every monitor`;
    }
    return null;
}

// Why a list of curtains [connector, darkness percent] cannot be drawn, or
// null: one at most per monitor, each on a monitor there is.
export function checkCurtains(monitors, curtains) {
    if (!Array.isArray(curtains) || curtains.length > monitors.length)
        return 'more curtains than monitors';
    const seen = new Set();
    for (const [i, c] of curtains.entries()) {
        if (!Array.isArray(c) || c.length !== 2)
            return `curtain ${i} is not (monitor, darkness)`;
        const [connector, darkness] = c;
        if (!monitors.some(m => m.connector === connector))
            return `curtain ${i}: no monitor is called ${JSON.stringify(connector)}`;
        if (seen.has(connector))
            return `curtain ${i}: ${connector} has a curtain already`;
        seen.add(connector);
        if (!Number.isInteger(darkness) || darkness < 0 || darkness > 100)
            return `curtain ${i}: darkness ${darkness} is not 0 to 100 percent`;
    }
    return null;
}

// Why a position interval cannot be used, or null; 0 stops the news.
export function checkInterval(ms) {
    if (!Number.isInteger(ms) || (ms !== 0 && (ms < MIN_INTERVAL_MS || ms > MAX_INTERVAL_MS)))
        return `the interval is 0 (off) or ${MIN_INTERVAL_MS} to ${MAX_INTERVAL_MS} ms`;
    return null;
}

// The points a warp from `from` to `to` goes through. Mutter stops a warp
// at a pointer barrier as it stops the pointer, so a warp that would cross
// one (Pellmar's own, beside a shorter monitor, or the Shell's beside its
// top bar) goes around it: up or down on its own monitor to a row that
// both monitors have and no barrier on the way blocks (the nearest), across
// along it, then up or down to the point. `barriers` are [x1, y1, x2, y2,
// directions] lines, as checkBarriers takes them.
export function warpRoute(monitors, barriers, from, to) {
    const [x0, y0] = from;
    const [x1, y1] = to;
    if (x0 === x1)
        return [to];
    const right = x1 > x0;
    // Vertical lines between the two columns.
    const lines = barriers.filter(([bx1, , bx2]) => bx1 === bx2 &&
        (right ? bx1 > x0 && bx1 < x1 : bx1 < x0 && bx1 > x1));
    // Whether a straight line from (x0, ya) to (x1, yb) meets one that does
    // not let through every way it goes (Mutter's rule, X11's before it: a
    // slanting move needs its up or down let through too).
    const blocks = (ya, yb) => {
        const going = (right ? POSITIVE_X : NEGATIVE_X) |
            (yb > ya ? POSITIVE_Y : 0) | (yb < ya ? NEGATIVE_Y : 0);
        return lines.some(([c, by1, , by2, directions]) => {
            const y = ya + (yb - ya) * (c - x0) / (x1 - x0);
            return (directions & going) !== going &&
                y >= Math.min(by1, by2) && y <= Math.max(by1, by2);
        });
    };
    if (!blocks(y0, y1))
        return [to];
    const a = monitors[monitorAt(monitors, x0, y0)];
    const b = monitors[monitorAt(monitors, x1, y1)];
    if (!a || !b)
        return [to];
    const top = Math.max(a.y, b.y);
    const bottom = Math.min(a.y + a.height, b.y + b.height) - 1;
    const rows = [y0, y1];
    for (const [, by1, , by2] of lines)
        rows.push(Math.min(by1, by2) - 1, Math.max(by1, by2) + 1);
    const free = rows.filter(y => y >= top && y <= bottom && !blocks(y, y))
        .sort((p, q) => Math.abs(p - y0) - Math.abs(q - y0));
    if (free.length === 0)
        return [to];
    const hops = [];
    for (const point of [[x0, free[0]], [x1, free[0]], to]) {
        const last = hops.length > 0 ? hops[hops.length - 1] : from;
        if (point[0] !== last[0] || point[1] !== last[1])
            hops.push(point);
    }
    return hops;
}
