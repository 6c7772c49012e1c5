#include "swaystate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVector>

namespace {

QJsonObject object(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// Changes that neither move the focus nor change a window's full screen.
bool harmless(const QString &change)
{
    return change == QLatin1String("title") || change == QLatin1String("mark") ||
           change == QLatin1String("urgent") || change == QLatin1String("rename");
}

// The nodes from `node` down to the focused one; false where none is.
bool focusPath(const QJsonObject &node, QVector<QJsonObject> &path)
{
    path.push_back(node);
    if (node.value(QLatin1String("focused")).toBool())
        return true;
    for (const char *key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(key)).toArray()) {
            if (focusPath(child.toObject(), path))
                return true;
        }
    }
    path.pop_back();
    return false;
}

bool isType(const QJsonObject &node, const char *type)
{
    return node.value(QLatin1String("type")).toString() == QLatin1String(type);
}

} // namespace

SwayState::Update SwayState::take(std::uint32_t type, const QByteArray &payload)
{
    const QString outputBefore = output;
    const bool fullBefore = full;
    Update update;
    switch (type) {
    case Subscribe:
        update.refused = !object(payload).value(QLatin1String("success")).toBool();
        break;
    case GetWorkspaces:
        takeWorkspaces(payload);
        break;
    case GetTree:
        takeTree(payload);
        break;
    case WorkspaceEvent:
        update.wantTree = takeWorkspaceEvent(payload);
        break;
    case WindowEvent:
        update.wantTree = takeWindowEvent(payload);
        break;
    default:
        break;
    }
    update.outputChanged = output != outputBefore;
    update.fullscreenChanged = full != fullBefore;
    return update;
}

void SwayState::takeWorkspaces(const QByteArray &payload)
{
    // "focused" marks the workspace that holds the focus, on the window in
    // it or on itself.
    for (const QJsonValue value : QJsonDocument::fromJson(payload).array()) {
        const QJsonObject workspace = value.toObject();
        if (workspace.value(QLatin1String("focused")).toBool())
            setOutput(workspace.value(QLatin1String("output")).toString());
    }
}

void SwayState::takeTree(const QByteArray &payload)
{
    const QJsonDocument tree = QJsonDocument::fromJson(payload);
    if (!tree.isObject())
        return;
    QVector<QJsonObject> path;
    if (!focusPath(tree.object(), path)) {
        full = false;
        return;
    }
    // sway gives workspaces a fullscreen_mode of 1, so only containers
    // count; and a container made full screen keeps the focus on a child
    // of its own, whose fullscreen_mode is 0.
    full = false;
    for (const QJsonObject &node : path) {
        if (isType(node, "output"))
            setOutput(node.value(QLatin1String("name")).toString());
        if ((isType(node, "con") || isType(node, "floating_con")) &&
            node.value(QLatin1String("fullscreen_mode")).toInt() != 0)
            full = true;
    }
}

bool SwayState::takeWorkspaceEvent(const QByteArray &payload)
{
    const QJsonObject event = object(payload);
    const QString change = event.value(QLatin1String("change")).toString();
    if (change == QLatin1String("focus")) {
        // The new output at once, ahead of any tree: this is the event that
        // follows the pointer onto another output.
        const QJsonObject current = event.value(QLatin1String("current")).toObject();
        setOutput(current.value(QLatin1String("output")).toString());
        // The workspace itself has the focus: no window has it. Where a
        // window on it takes the focus, sway says so in a window event next.
        if (current.value(QLatin1String("focused")).toBool())
            full = false;
    }
    return !harmless(change);
}

bool SwayState::takeWindowEvent(const QByteArray &payload)
{
    const QJsonObject event = object(payload);
    const QString change = event.value(QLatin1String("change")).toString();
    const QJsonObject container = event.value(QLatin1String("container")).toObject();
    // Only "on" is certain from the event alone: a container that is not
    // full screen itself may still lie in one that is.
    if ((change == QLatin1String("focus") || change == QLatin1String("fullscreen_mode")) &&
        container.value(QLatin1String("focused")).toBool() &&
        container.value(QLatin1String("fullscreen_mode")).toInt() != 0)
        full = true;
    return !harmless(change);
}

void SwayState::setOutput(const QString &name)
{
    // "__i3" holds the scratchpad, never a visible window; an empty name
    // is a message not read.
    if (!name.isEmpty() && name != QLatin1String("__i3"))
        output = name;
}
