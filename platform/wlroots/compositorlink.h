#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class CompositorEvents;
class QTimer;

// The compositor's own events, kept: when its socket drops (the compositor
// reloaded or restarted), the link connects again after a pause that
// doubles from firstRetryMs up to lastRetryMs, and tells what it finds
// then. A session without such events is never asked again. GUI thread
// only.
class CompositorLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int firstRetryMs = 100;
    static constexpr int lastRetryMs = 10000;

    // Makes the compositor's event source, or null where it does not answer.
    using Opener = std::function<std::unique_ptr<CompositorEvents>()>;

    // Connects at once by `opening`.
    explicit CompositorLink(Opener opening, QObject *parent = nullptr);
    ~CompositorLink() override;

    bool connected() const { return events != nullptr; }
    QString focusedOutput() const;
    bool fullscreen() const;
    // Asks for the pointer's position while `on`, now and after a
    // reconnection (see CompositorEvents::followPointer).
    void followPointer(bool on);
    // The pause before the next try, while not connected.
    int retryMs() const { return pause; }

    // A wlroots compositor's own event source for this session, or null
    // where none is known or it does not answer. Only sway's so far
    // (SWAYSOCK).
    static std::unique_ptr<CompositorEvents> openEvents(QObject *parent = nullptr);

signals:
    void focusedOutputChanged(const QString &output);
    void fullscreenChanged(bool on);
    void pointerSeen(int x, int y);
    // Connected, or lost: which the features say.
    void connectedChanged(bool connected);

private:
    // One try; on success the compositor's state is told as news.
    bool open();
    void lose();

    Opener opener;
    std::unique_ptr<CompositorEvents> events;
    QTimer *retry;
    int pause = firstRetryMs;
    bool following = false;
};
