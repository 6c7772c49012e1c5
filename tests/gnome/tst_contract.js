// The extension's side of its bus contract, under plain gjs: every argument
// check, and the interface it exports.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';

// The extension as the build put it together (contract.js is made there).
const extension = GLib.getenv('PELLMAR_GNOME_EXTENSION_DIR');
if (!extension) {
    printerr('PELLMAR_GNOME_EXTENSION_DIR names no folder');
    imports.system.exit(1);
}
const Contract = await import(`file://${extension}/contract.js`);

let failures = 0;
function expect(what, got, wanted) {
    const ok = wanted instanceof RegExp ? wanted.test(String(got)) : got === wanted;
    if (!ok) {
        failures++;
        printerr(`FAIL ${what}: got ${JSON.stringify(got)}, wanted ${wanted}`);
    }
}

// Two monitors of different heights, side by side.
const monitors = [
    {connector: 'DP-1', x: 0, y: 0, width: 1920, height: 1080},
    {connector: 'HDMI-1', x: 1920, y: 0, width: 1280, height: 720},
];
const {POSITIVE_X, NEGATIVE_X, POSITIVE_Y, NEGATIVE_Y} = Contract;

const barrierCases = [
    ['the left edge', [[0, 0, 0, 1080, POSITIVE_X | POSITIVE_Y | NEGATIVE_Y]], null],
    ['the right edge, one past the last column', [[3200, 0, 3200, 720, NEGATIVE_X]], null],
    ['beside the shorter monitor', [[1920, 720, 1920, 1080, NEGATIVE_X]], null],
    ['a top row', [[1920, 0, 3200, 0, POSITIVE_Y]], null],
    ['a bottom row', [[0, 1080, 1920, 1080, NEGATIVE_Y]], null],
    ['none at all', [], null],
    ['outside every monitor', [[3300, 0, 3300, 100, NEGATIVE_X]], /outside every monitor/],
    ['below the shorter monitor', [[2000, 900, 2100, 900, POSITIVE_Y]], /outside every monitor/],
    ['askew', [[0, 0, 10, 10, POSITIVE_X]], /one axis/],
    ['a point', [[5, 5, 5, 5, POSITIVE_X]], /one axis/],
    ['NaN', [[NaN, 0, NaN, 10, POSITIVE_X]], /unusable coordinate/],
    ['absurdly far', [[0, -1e12, 0, 1e12, POSITIVE_X]], /unusable coordinate/],
    ['a vertical line letting through either way', [[0, 0, 0, 10, POSITIVE_X | NEGATIVE_X]],
        /both ways/],
    ['a row letting through either way', [[0, 0, 10, 0, POSITIVE_Y | NEGATIVE_Y]], /both ways/],
    ['nothing let through', [[0, 0, 0, 10, 0]], null],
    ['unknown direction bits', [[0, 0, 0, 10, 16 | POSITIVE_X]], /unknown directions/],
    ['short', [[0, 0, 0]], /not \(x1/],
    ['too many', Array(Contract.MAX_BARRIERS + 1).fill([0, 0, 0, 10, POSITIVE_X]), /at most/],
];
for (const [what, segments, wanted] of barrierCases)
    expect(`barriers: ${what}`, Contract.checkBarriers(monitors, segments), wanted);

const pointCases = [
    ['on the first monitor', 10, 10, null],
    ['the last pixel of the second', 3199.5, 719.5, null],
    ['below the shorter monitor', 2500, 900, /on no monitor/],
    ['left of everything', -1, 10, /on no monitor/],
    ['NaN', NaN, 10, /not a usable coordinate/],
    ['infinite', 10, Infinity, /not a usable coordinate/],
];
for (const [what, x, y, wanted] of pointCases)
    expect(`point: ${what}`, Contract.checkPoint(monitors, x, y), wanted);

const curtainCases = [
    ['one', [['HDMI-1', 40]], null],
    ['both', [['HDMI-1', 40], ['DP-1', 0]], null],
    ['none', [], null],
    ['more than the monitors', [['DP-1', 1], ['HDMI-1', 1], ['DP-1', 1]], /more curtains than monitors/],
    ['twice on one', [['DP-1', 1], ['DP-1', 2]], /has a curtain already/],
    ['an unknown monitor', [['DP-9', 50]], /no monitor is called "DP-9"/],
    ['too dark', [['DP-1', 101]], /0 to 100/],
    ['a fraction', [['DP-1', 0.5]], /0 to 100/],
];
for (const [what, curtains, wanted] of curtainCases)
    expect(`curtains: ${what}`, Contract.checkCurtains(monitors, curtains), wanted);

for (const [ms, wanted] of [[0, null], [40, null], [Contract.MIN_INTERVAL_MS - 1, /interval/],
    [Contract.MAX_INTERVAL_MS + 1, /interval/], [12.5, /interval/]])
    expect(`interval ${ms}`, Contract.checkInterval(ms), wanted);

// Warps around barriers: Easy Move's beside the shorter monitor (stops
// rightward motion at x 1920 over rows 720 to 1080) and the Shell's beside
// its top bar (rows 0 to 32).
const easyMove = [1920, 720, 1920, 1080, NEGATIVE_X | POSITIVE_Y | NEGATIVE_Y];
const topBar = [1920, 0, 1920, 32, NEGATIVE_X];
const route = (barriers, from, to) => JSON.stringify(Contract.warpRoute(monitors, barriers, from, to));
const routeCases = [
    ['nothing in the way', [easyMove, topBar], [0, 500], [3198, 500], [[3198, 500]]],
    ['leftwards, which both let through', [easyMove, topBar], [3199, 10], [1, 10], [[1, 10]]],
    ['slanting left through Easy Move\'s, which lets it', [easyMove], [2500, 718], [1900, 900],
        [[1900, 900]]],
    ['slanting left through the top bar\'s, which lets only straight left through', [topBar],
        [2500, 40], [1900, 5], [[1900, 40], [1900, 5]]],
    ['up and down only', [easyMove], [2500, 0], [2500, 718], [[2500, 718]]],
    ['left wrap below the shorter monitor', [easyMove, topBar], [0, 900], [3198, 719],
        [[0, 719], [3198, 719]]],
    ['left wrap beside the top bar', [easyMove, topBar], [0, 10], [3198, 10],
        [[0, 33], [3198, 33], [3198, 10]]],
    ['Easy Move itself', [easyMove], [1919, 900], [1921, 719], [[1919, 719], [1921, 719]]],
    ['no row free', [[1920, 0, 1920, 1080, NEGATIVE_X]], [0, 10], [3198, 10], [[3198, 10]]],
];
for (const [what, barriers, from, to, wanted] of routeCases)
    expect(`route: ${what}`, route(barriers, from, to), JSON.stringify(wanted));

// What a warp still meets after going around what it can: Pellmar's own
// barriers stand aside for those.
const seam = [1920, 0, 1920, 720, NEGATIVE_X];
const metCases = [
    ['a seam barred on every row', [seam, easyMove], [0, 10], [[3198, 10]], [0]],
    ['around Easy Move\'s, nothing', [easyMove, topBar], [0, 900], [[0, 719], [3198, 719]], []],
    ['leftwards, which it lets through', [seam], [3199, 10], [[1, 10]], []],
    ['from on the line, up and left: its up is not let through', [seam], [1920, 300],
        [[1918, 219]], [0]],
    ['down over a row barred upwards only', [[0, 500, 1919, 500, POSITIVE_Y]], [100, 10],
        [[100, 900]], []],
    ['down over a row barred', [[0, 500, 1919, 500, NEGATIVE_Y]], [100, 10], [[100, 900]], [0]],
];
for (const [what, barriers, from, hops, wanted] of metCases) {
    expect(`met: ${what}`, JSON.stringify(Contract.barriersMet(barriers, from, hops)),
        JSON.stringify(wanted));
}

expect('monitor at the seam', Contract.monitorAt(monitors, 1920, 0), 1);
expect('monitor below the shorter one', Contract.monitorAt(monitors, 2000, 800), -1);

// The interface on the bus, as every Pellmar of this version speaks it: a
// change here needs a new version.
const info = Gio.DBusNodeInfo.new_for_xml(Contract.INTERFACE_XML).lookup_interface(Contract.INTERFACE);
const signature = args => args.map(a => a.signature).join('');
const calls = [
    ['Attach', '', 'u'], ['GetMonitors', '', 'a(siiii)'], ['GetPointer', '', 'ddus'],
    ['GetFullscreen', '', 'b'], ['WatchPosition', 'u', ''], ['SetBarriers', 'ua(iiiiu)', ''],
    ['Warp', 'dd', ''], ['SetCurtains', 'a(su)', ''],
];
for (const [name, inArgs, outArgs] of calls) {
    const m = info.lookup_method(name);
    expect(`method ${name}`, m ? `${signature(m.in_args)}>${signature(m.out_args)}` : null,
        `${inArgs}>${outArgs}`);
}
for (const [name, args] of [['MonitorsChanged', 'a(siiii)'], ['PointerMonitorChanged', 's'],
    ['Position', 'ddu'], ['BarrierHit', 'uuddddu'], ['FullscreenChanged', 'b'], ['Released', '']]) {
    const s = info.lookup_signal(name);
    expect(`signal ${name}`, s ? signature(s.args) : null, args);
}
expect('version property', info.lookup_property('Version')?.signature, 'u');

if (failures > 0) {
    printerr(`${failures} failed`);
    imports.system.exit(1);
}
print('all passed');
