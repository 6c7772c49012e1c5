#include "compositorevents.h"
#include "compositorlink.h"
#include "swayipcreader.h"
#include "swaystate.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using Message = SwayIpcReader::Message;

Q_DECLARE_METATYPE(Message)

namespace {

// Messages sway 1.7 sent on its headless backend: HEADLESS-1 (1920x1080)
// left of HEADLESS-2 (1280x1024), windows floating, the pointer moved by a
// virtual pointer, a weston-terminal as the window. Cut down to the fields
// that matter (sway sends rects, borders and more besides).
// The reply to SUBSCRIBE ["workspace","window"].
const char subscribed[] = R"json({"success":true})json";
// GET_WORKSPACES at the start: nothing open, the pointer on HEADLESS-1.
const char workspacesAtStart[] =
    R"json([{"id":4,"type":"workspace","name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1","focused":true},{"id":6,"type":"workspace","name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2","focused":false}])json";
// GET_TREE then: workspace 1 itself focused (a workspace's fullscreen_mode is 1).
const char treeAtStart[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":true,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// The pointer moved onto HEADLESS-2, both workspaces empty.
const char workspaceFocusToEmpty2[] =
    R"json({"change":"focus","old":{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"},"current":{"id":6,"type":"workspace","focused":true,"name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}})json";
// And back onto HEADLESS-1.
const char workspaceFocusToEmpty1[] =
    R"json({"change":"focus","old":{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"},"current":{"id":4,"type":"workspace","focused":true,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}})json";
// A weston-terminal opened on HEADLESS-2, the pointer there: new, title, floating, focus.
const char windowNew[] =
    R"json({"change":"new","container":{"id":7,"type":"con","focused":false,"name":null,"nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char windowTitle[] =
    R"json({"change":"title","container":{"id":7,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char windowFloating[] =
    R"json({"change":"floating","container":{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char windowFocus[] =
    R"json({"change":"focus","container":{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
// The pointer moved from empty HEADLESS-1 onto the terminal on HEADLESS-2; a window focus event
// came next.
const char workspaceFocusToWindow2[] =
    R"json({"change":"focus","old":{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"},"current":{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"}})json";
// `fullscreen enable` on the terminal while the pointer (and focus) is on HEADLESS-1.
const char fullscreenOnUnfocused[] =
    R"json({"change":"fullscreen_mode","container":{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
// GET_TREE then: the full-screen terminal on HEADLESS-2, workspace 1 focused.
const char treeFullscreenElsewhere[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":true,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// The pointer moved onto the full-screen terminal: a workspace focus event, then this.
const char windowFocusFullscreen[] =
    R"json({"change":"focus","container":{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
// GET_TREE then.
const char treeFullscreenFocused[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// `fullscreen disable`, then `fullscreen toggle`, on the focused terminal.
const char fullscreenOff[] =
    R"json({"change":"fullscreen_mode","container":{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char fullscreenOn[] =
    R"json({"change":"fullscreen_mode","container":{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
// `move container to workspace 1` on the focused full-screen terminal, and GET_TREE then:
// the focus stays on workspace 2, with no workspace event.
const char windowMoveFullscreen[] =
    R"json({"change":"move","container":{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char treeAfterMove[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":true,"name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// `kill` on the full-screen terminal, and GET_TREE then.
const char windowCloseFullscreen[] =
    R"json({"change":"close","container":{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char treeAfterClose[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":true,"name":"2","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// GET_WORKSPACES and GET_TREE with the terminal focused on HEADLESS-2.
const char workspacesWindowFocused[] =
    R"json([{"id":4,"type":"workspace","name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1","focused":false},{"id":6,"type":"workspace","name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2","focused":true}])json";
const char treeWindowFocused[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// `workspace 3` on HEADLESS-1: init, focus, and the empty workspace 1 goes.
const char workspaceInit3[] =
    R"json({"change":"init","old":null,"current":{"id":8,"type":"workspace","focused":false,"name":"3","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}})json";
const char workspaceFocus3[] =
    R"json({"change":"focus","old":{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"},"current":{"id":8,"type":"workspace","focused":true,"name":"3","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}})json";
const char workspaceEmpty1[] =
    R"json({"change":"empty","old":null,"current":{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}})json";
// GET_TREE after `move workspace to output HEADLESS-2`, for which sway sent no event.
const char treeAfterWorkspaceMove[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":9,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"},{"id":8,"type":"workspace","focused":true,"name":"3","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// Two tiled terminals in a container of their own: `focus parent; fullscreen enable`, GET_TREE,
// then `focus child` and GET_TREE.
const char fullscreenOnParent[] =
    R"json({"change":"fullscreen_mode","container":{"id":9,"type":"con","focused":true,"name":null,"nodes":[{"id":7,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"},{"id":8,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"floating_nodes":[],"fullscreen_mode":1}})json";
const char treeParentFullscreen[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[{"id":9,"type":"con","focused":true,"name":null,"nodes":[{"id":7,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"},{"id":8,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
const char windowFocusChild[] =
    R"json({"change":"focus","container":{"id":7,"type":"con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}})json";
const char treeChildOfFullscreen[] =
    R"json({"id":1,"type":"root","focused":false,"name":"root","nodes":[{"id":2147483647,"type":"output","focused":false,"name":"__i3","nodes":[{"id":2147483646,"type":"workspace","focused":false,"name":"__i3_scratch","nodes":[],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":0},{"id":3,"type":"output","focused":false,"name":"HEADLESS-1","nodes":[{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}],"floating_nodes":[],"fullscreen_mode":0},{"id":5,"type":"output","focused":false,"name":"HEADLESS-2","nodes":[{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[{"id":9,"type":"con","focused":false,"name":null,"nodes":[{"id":7,"type":"con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"},{"id":8,"type":"con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":0,"app_id":"org.freedesktop.weston.wayland-terminal"}],"floating_nodes":[],"fullscreen_mode":1}],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-2"}],"floating_nodes":[],"fullscreen_mode":0}],"floating_nodes":[],"fullscreen_mode":0})json";
// The pointer moved onto HEADLESS-2, where the terminal is full screen.
const char workspaceFocusToFullscreen2[] =
    R"json({"change":"focus","old":{"id":4,"type":"workspace","focused":false,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"},"current":{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":true,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"}})json";
// And off it onto empty HEADLESS-1.
const char workspaceFocusFromFullscreen1[] =
    R"json({"change":"focus","old":{"id":6,"type":"workspace","focused":false,"name":"2","nodes":[],"floating_nodes":[{"id":7,"type":"floating_con","focused":false,"name":"Wayland Terminal","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"app_id":"org.freedesktop.weston.wayland-terminal"}],"fullscreen_mode":1,"output":"HEADLESS-2"},"current":{"id":4,"type":"workspace","focused":true,"name":"1","nodes":[],"floating_nodes":[],"fullscreen_mode":1,"output":"HEADLESS-1"}})json";

// Signals come within this; only a broken build takes that long.
constexpr int Patience = 30000;

// One message fed to SwayState and what must hold after it.
struct Step
{
    std::uint32_t type;
    const char *payload;
    const char *output;
    bool fullscreen;
    bool wantTree;
};

constexpr bool Tree = true;
constexpr bool NoTree = false;

QByteArray stream(const QVector<Message> &messages)
{
    QByteArray bytes;
    for (const Message &m : messages)
        bytes += SwayIpcReader::frame(m.type, m.payload);
    return bytes;
}

QVector<Message> drain(SwayIpcReader &reader)
{
    QVector<Message> messages;
    Message m;
    while (reader.next(m))
        messages.push_back(m);
    return messages;
}

bool same(const QVector<Message> &a, const QVector<Message> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].payload != b[i].payload)
            return false;
    }
    return true;
}

// A sway of the test's own: a listening socket in a temporary folder, named
// by SWAYSOCK as sway's is, that reads the requests of the one client it
// takes and answers what the test says.
class FakeSway
{
public:
    FakeSway()
    {
        path = QFile::encodeName(dir.filePath(QStringLiteral("sway-ipc.sock")));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listener, 4) != 0) {
            ::close(listener);
            listener = -1;
        }
    }
    ~FakeSway()
    {
        hangUp();
        if (listener >= 0)
            ::close(listener);
    }
    FakeSway(const FakeSway &) = delete;
    FakeSway &operator=(const FakeSway &) = delete;

    bool listening() const { return listener >= 0; }
    QByteArray socketPath() const { return path; }

    // The client has connected already: its connect returns once the
    // connection waits here.
    bool accept()
    {
        client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        return client >= 0;
    }

    // Whether a request of the client's has come and is not taken yet.
    bool hasRequest()
    {
        char chunk[4096];
        ssize_t n;
        while ((n = ::recv(client, chunk, sizeof chunk, 0)) > 0)
            requests.feed(QByteArray(chunk, qsizetype(n)));
        Message m;
        while (requests.next(m))
            pending.push_back(m);
        return !pending.isEmpty();
    }
    // Takes the client's next request.
    bool request(Message &message)
    {
        if (!hasRequest())
            return false;
        message = pending.takeFirst();
        return true;
    }

    bool sendBytes(const QByteArray &bytes)
    {
        return ::send(client, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) ==
               ssize_t(bytes.size());
    }
    bool send(std::uint32_t type, const QByteArray &payload)
    {
        return sendBytes(SwayIpcReader::frame(type, payload));
    }

    void hangUp()
    {
        if (client >= 0)
            ::close(client);
        client = -1;
    }

private:
    QTemporaryDir dir;
    QByteArray path;
    int listener = -1;
    int client = -1;
    SwayIpcReader requests;
    QVector<Message> pending;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

// sway's IPC as Pellmar reads it: the framing however the bytes come, what
// sway's recorded messages say of the focused output and full screen, and
// the socket itself against a fake sway.
class TestSwayEvents : public QObject
{
    Q_OBJECT

private slots:
    void frame()
    {
        // "i3-ipc", then length and type in the machine's byte order.
        const QByteArray bytes = SwayIpcReader::frame(2, "[\"window\"]");
        QCOMPARE(bytes.left(6), QByteArray("i3-ipc"));
        QCOMPARE(bytes.size(), 24);
        // Read from a copy: GCC cannot tell that the array is not Qt's
        // shared empty one and warns of reading past it.
        const std::string raw = bytes.toStdString();
        std::uint32_t length = 0;
        std::uint32_t type = 0;
        std::memcpy(&length, raw.data() + 6, 4);
        std::memcpy(&type, raw.data() + 10, 4);
        QCOMPARE(length, 10u);
        QCOMPARE(type, 2u);
        QCOMPARE(bytes.mid(14), QByteArray("[\"window\"]"));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        QCOMPARE(SwayIpcReader::frame(4).toHex(), QByteArray("69332d6970630000000004000000"));
#endif
    }

    void framing_data()
    {
        QTest::addColumn<QVector<Message>>("messages");
        QTest::newRow("one event")
            << QVector<Message>{{SwayState::WorkspaceEvent, workspaceFocusToEmpty2}};
        QTest::newRow("an empty payload") << QVector<Message>{{SwayState::GetTree, {}}};
        QTest::newRow("the replies at the start")
            << QVector<Message>{{SwayState::Subscribe, subscribed},
                                {SwayState::GetWorkspaces, workspacesAtStart},
                                {SwayState::GetTree, treeAtStart}};
        QTest::newRow("a reply between events")
            << QVector<Message>{{SwayState::WorkspaceEvent, workspaceFocusToWindow2},
                                {SwayState::WindowEvent, windowFocusFullscreen},
                                {SwayState::GetTree, treeFullscreenFocused},
                                {SwayState::WindowEvent, fullscreenOff}};
    }

    void framing()
    {
        QFETCH(QVector<Message>, messages);
        const QByteArray bytes = stream(messages);

        SwayIpcReader whole;
        whole.feed(bytes);
        QVERIFY(same(drain(whole), messages));
        QVERIFY(!whole.broken());

        // Split at every byte: what came before the split is taken first.
        for (int at = 0; at <= bytes.size(); ++at) {
            SwayIpcReader reader;
            reader.feed(bytes.left(at));
            QVector<Message> got = drain(reader);
            reader.feed(bytes.mid(at));
            got += drain(reader);
            QVERIFY2(same(got, messages), qPrintable(QStringLiteral("split at %1").arg(at)));
            QVERIFY(!reader.broken());
        }

        SwayIpcReader bytewise;
        QVector<Message> got;
        for (const char byte : bytes) {
            bytewise.feed(QByteArray(1, byte));
            got += drain(bytewise);
        }
        QVERIFY(same(got, messages));
    }

    void garbled_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("good");
        QByteArray tooLong = SwayIpcReader::frame(SwayState::GetTree, "{}");
        const std::uint32_t length = SwayIpcReader::MaxPayload + 1;
        std::memcpy(tooLong.data() + 6, &length, 4);
        const QByteArray good = SwayIpcReader::frame(SwayState::Subscribe, subscribed);
        QTest::newRow("not sway's magic") << QByteArray("i3-ipx\0\0\0\0\0\0\0\0", 14) << 0;
        QTest::newRow("a length beyond any tree") << tooLong << 0;
        QTest::newRow("text after a good message") << good + "HTTP/1.1 400 Bad Request\r\n" << 1;
    }

    void garbled()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, good);
        SwayIpcReader reader;
        reader.feed(bytes);
        QCOMPARE(drain(reader).size(), good);
        QVERIFY(reader.broken());
        // Nothing after the garbling is taken as a message.
        reader.feed(SwayIpcReader::frame(SwayState::GetTree, treeAtStart));
        QCOMPARE(drain(reader).size(), 0);
    }

    void interpretation_data()
    {
        QTest::addColumn<QVector<Step>>("steps");
        const auto Ws = SwayState::WorkspaceEvent;
        const auto Win = SwayState::WindowEvent;
        const auto Tr = SwayState::GetTree;
        const auto Wss = SwayState::GetWorkspaces;

        QTest::newRow("the start on empty workspaces")
            << QVector<Step>{{SwayState::Subscribe, subscribed, "", false, NoTree},
                             {Wss, workspacesAtStart, "HEADLESS-1", false, NoTree},
                             {Tr, treeAtStart, "HEADLESS-1", false, NoTree}};
        QTest::newRow("the start with a window focused on the second output")
            << QVector<Step>{{Wss, workspacesWindowFocused, "HEADLESS-2", false, NoTree},
                             {Tr, treeWindowFocused, "HEADLESS-2", false, NoTree}};
        QTest::newRow("the start with a full-screen window focused")
            << QVector<Step>{{Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree}};
        QTest::newRow("the pointer across empty outputs")
            << QVector<Step>{{Tr, treeAtStart, "HEADLESS-1", false, NoTree},
                             {Ws, workspaceFocusToEmpty2, "HEADLESS-2", false, Tree},
                             {Ws, workspaceFocusToEmpty1, "HEADLESS-1", false, Tree}};
        QTest::newRow("a new window takes the focus")
            << QVector<Step>{{Ws, workspaceFocusToEmpty2, "HEADLESS-2", false, Tree},
                             {Win, windowNew, "HEADLESS-2", false, Tree},
                             {Win, windowTitle, "HEADLESS-2", false, NoTree},
                             {Win, windowFloating, "HEADLESS-2", false, Tree},
                             {Win, windowFocus, "HEADLESS-2", false, Tree},
                             {Tr, treeWindowFocused, "HEADLESS-2", false, NoTree}};
        QTest::newRow("the pointer onto a window on the other output")
            << QVector<Step>{{Tr, treeAtStart, "HEADLESS-1", false, NoTree},
                             {Ws, workspaceFocusToWindow2, "HEADLESS-2", false, Tree},
                             {Win, windowFocus, "HEADLESS-2", false, Tree},
                             {Tr, treeWindowFocused, "HEADLESS-2", false, NoTree}};
        QTest::newRow("the pointer onto a full-screen window on the other output")
            << QVector<Step>{{Tr, treeFullscreenElsewhere, "HEADLESS-1", false, NoTree},
                             {Ws, workspaceFocusToFullscreen2, "HEADLESS-2", false, Tree},
                             {Win, windowFocusFullscreen, "HEADLESS-2", true, Tree},
                             {Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree}};
        // Off at once: the workspace itself has the focus.
        QTest::newRow("the pointer off a full-screen window onto an empty output")
            << QVector<Step>{{Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree},
                             {Ws, workspaceFocusFromFullscreen1, "HEADLESS-1", false, Tree},
                             {Tr, treeFullscreenElsewhere, "HEADLESS-1", false, NoTree}};
        // Off only with the tree: the window event alone cannot tell.
        QTest::newRow("full screen on and off on the focused window")
            << QVector<Step>{{Tr, treeWindowFocused, "HEADLESS-2", false, NoTree},
                             {Win, fullscreenOn, "HEADLESS-2", true, Tree},
                             {Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree},
                             {Win, fullscreenOff, "HEADLESS-2", true, Tree},
                             {Tr, treeWindowFocused, "HEADLESS-2", false, NoTree}};
        QTest::newRow("full screen on a window without the focus")
            << QVector<Step>{{Tr, treeAtStart, "HEADLESS-1", false, NoTree},
                             {Win, fullscreenOnUnfocused, "HEADLESS-1", false, Tree},
                             {Tr, treeFullscreenElsewhere, "HEADLESS-1", false, NoTree}};
        QTest::newRow("a full-screen window moved to a workspace elsewhere")
            << QVector<Step>{{Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree},
                             {Win, windowMoveFullscreen, "HEADLESS-2", true, Tree},
                             {Tr, treeAfterMove, "HEADLESS-2", false, NoTree}};
        QTest::newRow("a full-screen window closed")
            << QVector<Step>{{Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree},
                             {Win, windowCloseFullscreen, "HEADLESS-2", true, Tree},
                             {Tr, treeAfterClose, "HEADLESS-2", false, NoTree}};
        // The focus goes to a child of the full-screen container, whose own
        // fullscreen_mode is 0: still full screen, with no flicker off.
        QTest::newRow("the focus on a child of a full-screen container")
            << QVector<Step>{{Win, fullscreenOnParent, "", true, Tree},
                             {Tr, treeParentFullscreen, "HEADLESS-2", true, NoTree},
                             {Win, windowFocusChild, "HEADLESS-2", true, Tree},
                             {Tr, treeChildOfFullscreen, "HEADLESS-2", true, NoTree}};
        QTest::newRow("another workspace on the same output")
            << QVector<Step>{{Tr, treeAtStart, "HEADLESS-1", false, NoTree},
                             {Ws, workspaceInit3, "HEADLESS-1", false, Tree},
                             {Ws, workspaceFocus3, "HEADLESS-1", false, Tree},
                             {Ws, workspaceEmpty1, "HEADLESS-1", false, Tree}};
        QTest::newRow("a workspace moved to the other output, told by the tree only")
            << QVector<Step>{{Ws, workspaceFocus3, "HEADLESS-1", false, Tree},
                             {Tr, treeAfterWorkspaceMove, "HEADLESS-2", false, NoTree}};
        QTest::newRow("what is not sway's word changes nothing") << QVector<Step>{
            {Tr, treeFullscreenFocused, "HEADLESS-2", true, NoTree},
            {Tr, "{\"id\":1,", "HEADLESS-2", true, NoTree},
            {Wss, "[]", "HEADLESS-2", true, NoTree},
            {Ws, "{\"change\":\"focus\",\"current\":{}}", "HEADLESS-2", true, Tree},
            {Win, "[1, 2]", "HEADLESS-2", true, Tree},
            {0x80000006u, "{\"change\":\"exit\"}", "HEADLESS-2", true, NoTree}};
    }

    void interpretation()
    {
        QFETCH(QVector<Step>, steps);
        SwayState state;
        for (int i = 0; i < steps.size(); ++i) {
            const Step &step = steps[i];
            const QString before = state.focusedOutput();
            const bool fullBefore = state.fullscreen();
            const SwayState::Update update = state.take(step.type, step.payload);
            const QByteArray where = "step " + QByteArray::number(i);
            QVERIFY2(state.focusedOutput() == QLatin1String(step.output),
                     where + ": " + state.focusedOutput().toUtf8());
            QVERIFY2(state.fullscreen() == step.fullscreen, where);
            QVERIFY2(update.wantTree == step.wantTree, where);
            QVERIFY2(update.outputChanged == (before != state.focusedOutput()), where);
            QVERIFY2(update.fullscreenChanged == (fullBefore != state.fullscreen()), where);
            QVERIFY2(!update.refused, where);
        }
    }

    void subscription_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("refused");
        QTest::newRow("taken") << QByteArray(subscribed) << false;
        // What sway 1.7 answers to ["workspace","window","output"].
        QTest::newRow("refused") << QByteArray(R"({"success":false})") << true;
        QTest::newRow("not JSON") << QByteArray("{\"succ") << true;
    }

    void subscription()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, refused);
        SwayState state;
        QCOMPARE(state.take(SwayState::Subscribe, reply).refused, refused);
    }

    void open_data()
    {
        QTest::addColumn<QByteArray>("swaysock");
        QTest::addColumn<bool>("opens");
        QTest::newRow("no SWAYSOCK") << QByteArray() << false;
        QTest::newRow("SWAYSOCK names nothing") << QByteArray("gone.sock") << false;
        QTest::newRow("SWAYSOCK too long for a socket") << QByteArray(200, 'x') << false;
        QTest::newRow("SWAYSOCK names a listening socket") << QByteArray("sway-ipc.sock") << true;
    }

    void open()
    {
        QFETCH(QByteArray, swaysock);
        QFETCH(bool, opens);
        FakeSway sway;
        QVERIFY(sway.listening());
        const QFileInfo socket(QFile::decodeName(sway.socketPath()));
        qunsetenv("HYPRLAND_INSTANCE_SIGNATURE");
        if (swaysock.isEmpty())
            qunsetenv("SWAYSOCK");
        else
            qputenv("SWAYSOCK", QFile::encodeName(socket.dir().filePath(swaysock)));
        const std::unique_ptr<CompositorEvents> events = CompositorLink::openEvents();
        QCOMPARE(bool(events), opens);
        if (events) {
            QCOMPARE(events->name(), QStringLiteral("sway"));
            QCOMPARE(events->focusedOutput(), QString());
            QVERIFY(!events->fullscreen());
        }
    }

    // The whole path on a real socket: the requests at the start, the
    // answers, events split across writes, one tree asked for at a time.
    void followsSway()
    {
        FakeSway sway;
        QVERIFY(sway.listening());
        qputenv("SWAYSOCK", sway.socketPath());
        const std::unique_ptr<CompositorEvents> events = CompositorLink::openEvents();
        QVERIFY(events);
        QVERIFY(sway.accept());
        QSignalSpy outputs(events.get(), &CompositorEvents::focusedOutputChanged);
        QSignalSpy fullscreens(events.get(), &CompositorEvents::fullscreenChanged);
        QSignalSpy lost(events.get(), &CompositorEvents::lost);

        Message m;
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::Subscribe));
        const QJsonArray subscribedTo = QJsonDocument::fromJson(m.payload).array();
        QVERIFY(subscribedTo.contains(QStringLiteral("workspace")));
        QVERIFY(subscribedTo.contains(QStringLiteral("window")));
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::GetWorkspaces));
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::GetTree));
        QCOMPARE(events->focusedOutput(), QString());

        QVERIFY(sway.send(SwayState::Subscribe, subscribed));
        QVERIFY(sway.send(SwayState::GetWorkspaces, workspacesAtStart));
        QVERIFY(sway.send(SwayState::GetTree, treeAtStart));
        QTRY_COMPARE_WITH_TIMEOUT(outputs.count(), 1, Patience);
        QCOMPARE(outputs.at(0).at(0).toString(), QStringLiteral("HEADLESS-1"));
        QCOMPARE(events->focusedOutput(), QStringLiteral("HEADLESS-1"));

        // The pointer onto a full-screen window on the other output: two
        // events, cut inside the first.
        const QByteArray both =
            SwayIpcReader::frame(SwayState::WorkspaceEvent, workspaceFocusToFullscreen2) +
            SwayIpcReader::frame(SwayState::WindowEvent, windowFocusFullscreen);
        QVERIFY(sway.sendBytes(both.left(20)));
        QVERIFY(sway.sendBytes(both.mid(20)));
        QTRY_COMPARE_WITH_TIMEOUT(fullscreens.count(), 1, Patience);
        QCOMPARE(fullscreens.at(0).at(0).toBool(), true);
        QCOMPARE(outputs.count(), 2);
        QCOMPARE(outputs.at(1).at(0).toString(), QStringLiteral("HEADLESS-2"));

        // One tree for both events while it is on its way, and one more
        // after its answer.
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::GetTree));
        QVERIFY(!sway.hasRequest());
        QVERIFY(sway.send(SwayState::GetTree, treeFullscreenFocused));
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::GetTree));
        QVERIFY(sway.send(SwayState::GetTree, treeFullscreenFocused));

        // Full screen off: only the tree says so.
        QVERIFY(sway.send(SwayState::WindowEvent, fullscreenOff));
        QTRY_VERIFY_WITH_TIMEOUT(sway.hasRequest(), Patience);
        QVERIFY(sway.request(m));
        QCOMPARE(m.type, std::uint32_t(SwayState::GetTree));
        QCOMPARE(fullscreens.count(), 1);
        QVERIFY(sway.send(SwayState::GetTree, treeWindowFocused));
        QTRY_COMPARE_WITH_TIMEOUT(fullscreens.count(), 2, Patience);
        QCOMPARE(fullscreens.at(1).at(0).toBool(), false);
        QVERIFY(!events->fullscreen());
        // Every tree answered, and nothing more asked: a request is sent
        // before the change it follows from is told.
        QVERIFY(!sway.hasRequest());
        QCOMPARE(outputs.count(), 2);
        QCOMPARE(lost.count(), 0);
    }

    void lost_data()
    {
        QTest::addColumn<QByteArray>("last");
        QTest::newRow("sway ends") << QByteArray();
        QTest::newRow("not sway's framing") << QByteArray("HTTP/1.1 400 Bad Request\r\n\r\n");
        QTest::newRow("the subscription refused")
            << SwayIpcReader::frame(SwayState::Subscribe, R"({"success":false})");
    }

    // Said once, and the object may go in the slot that hears it.
    void lost()
    {
        QFETCH(QByteArray, last);
        FakeSway sway;
        QVERIFY(sway.listening());
        qputenv("SWAYSOCK", sway.socketPath());
        std::unique_ptr<CompositorEvents> events = CompositorLink::openEvents();
        QVERIFY(events);
        QVERIFY(sway.accept());
        QSignalSpy lostSpy(events.get(), &CompositorEvents::lost);
        QSignalSpy outputs(events.get(), &CompositorEvents::focusedOutputChanged);
        connect(events.get(), &CompositorEvents::lost, this, [&events] { events.reset(); });

        // The workspaces first: what came before the end still counts.
        QVERIFY(sway.send(SwayState::GetWorkspaces, workspacesWindowFocused));
        if (last.isEmpty())
            sway.hangUp();
        else
            QVERIFY(sway.sendBytes(last));
        QTRY_VERIFY_WITH_TIMEOUT(!events, Patience);
        QCOMPARE(lostSpy.count(), 1);
        QCOMPARE(outputs.count(), 1);
        QCOMPARE(outputs.at(0).at(0).toString(), QStringLiteral("HEADLESS-2"));
    }

    // sway reloaded or restarted: the link tries again, pausing longer
    // each time nobody answers, and takes up the events once sway does.
    void linkConnectsAgain()
    {
        FakeSway sway;
        QVERIFY(sway.listening());
        const QByteArray socket = sway.socketPath();
        qputenv("SWAYSOCK", socket);
        CompositorLink link([] { return CompositorLink::openEvents(); });
        QVERIFY(link.connected());
        QVERIFY(sway.accept());
        QSignalSpy changes(&link, &CompositorLink::connectedChanged);
        QSignalSpy outputs(&link, &CompositorLink::focusedOutputChanged);
        QVERIFY(sway.send(SwayState::GetWorkspaces, workspacesWindowFocused));
        QTRY_COMPARE_WITH_TIMEOUT(outputs.count(), 1, Patience);

        qputenv("SWAYSOCK", socket + ".gone");
        sway.hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 1, Patience);
        QCOMPARE(changes.at(0).at(0).toBool(), false);
        QVERIFY(!link.connected());
        QCOMPARE(link.focusedOutput(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(link.retryMs() >= 4 * CompositorLink::firstRetryMs, Patience);

        qputenv("SWAYSOCK", socket);
        QTRY_COMPARE_WITH_TIMEOUT(changes.count(), 2, Patience);
        QVERIFY(changes.at(1).at(0).toBool());
        QCOMPARE(link.retryMs(), CompositorLink::firstRetryMs);
        QVERIFY(sway.accept());
        QVERIFY(sway.send(SwayState::GetWorkspaces, workspacesAtStart));
        QTRY_COMPARE_WITH_TIMEOUT(link.focusedOutput(), QStringLiteral("HEADLESS-1"), Patience);
    }
};

QTEST_GUILESS_MAIN(TestSwayEvents)
#include "tst_swayevents.moc"
