#include "compositorlink.h"

#include "compositorevents.h"
#include "swayevents.h"

#include <QTimer>
#include <algorithm>

CompositorLink::CompositorLink(Opener opening, QObject *parent)
    : QObject(parent), opener(std::move(opening)), retry(new QTimer(this))
{
    retry->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, [this] {
        if (open())
            return;
        pause = std::min(pause * 2, lastRetryMs);
        retry->start(pause);
    });
    open();
}

CompositorLink::~CompositorLink() = default;

QString CompositorLink::focusedOutput() const
{
    return events ? events->focusedOutput() : QString();
}

bool CompositorLink::fullscreen() const
{
    return events && events->fullscreen();
}

std::unique_ptr<CompositorEvents> CompositorLink::openEvents(QObject *parent)
{
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    if (!sway.isEmpty())
        return SwayEvents::connectTo(sway, parent);
    return nullptr;
}

void CompositorLink::followPointer(bool on)
{
    following = on;
    if (events)
        events->followPointer(on);
}

bool CompositorLink::open()
{
    events = opener();
    if (!events)
        return false;
    pause = firstRetryMs;
    connect(events.get(), &CompositorEvents::focusedOutputChanged, this,
            &CompositorLink::focusedOutputChanged);
    connect(events.get(), &CompositorEvents::fullscreenChanged, this,
            &CompositorLink::fullscreenChanged);
    connect(events.get(), &CompositorEvents::pointerSeen, this, &CompositorLink::pointerSeen);
    connect(events.get(), &CompositorEvents::lost, this, &CompositorLink::lose);
    events->followPointer(following);
    emit connectedChanged(true);
    return true;
}

void CompositorLink::lose()
{
    // Heard from the events' own signal: they go once that is over.
    const bool was = events->fullscreen();
    qWarning("Pellmar: lost %s's events; connecting again", qPrintable(events->name()));
    events.release()->deleteLater();
    // Nothing is held back for what was.
    if (was)
        emit fullscreenChanged(false);
    emit connectedChanged(false);
    retry->start(pause);
}
