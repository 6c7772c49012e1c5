// pellmar-kde-probe: drives and reads the pointer of a KWin 6 session for
// the end-to-end tests, as a mouse and KWin itself see it.
//
// It moves the pointer through KWin's EIS interface (a relative pointer, an
// absolute device with one region per output, a keyboard), and reads the
// pointer, the outputs and the windows back with a KWin script that calls
// this probe on the session bus. Commands come line by line on stdin, one
// answer line each on stdout:
//   put X Y           absolute motion to layout point (X, Y)      -> ok
//   rel DX DY         relative motion, as a mouse makes            -> ok
//   button 1|0        the left button pressed or released          -> ok
//   key CODE 1|0      an evdev key pressed or released             -> ok
//   where             -> X Y (logical, as KWin has the pointer)
//   outputs           -> X Y W H;X Y W H... (the absolute device's regions)
//   state             -> one JSON line: cursor, outputs, windows
//   quit              -> bye
// Motion and keys are answered once KWin has taken them (an EIS ping);
// errors as "error ...".
#pragma once

#include <QByteArray>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <QString>
#include <QTemporaryDir>

struct ei;
struct ei_device;
struct ei_seat;

class KdeProbe : public QDBusVirtualObject
{
public:
    KdeProbe();
    ~KdeProbe() override;

    // Connects to KWin on the session bus; false with `error` set if not.
    bool start(QString *error);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void readCommands();
    QString answer(const QByteArray &line);
    void dispatchEi();
    // Runs the event loop until `done` or `ms` pass; false on timeout.
    template <typename Done> bool waitUntil(Done done, int ms);
    bool ready() const;
    bool sync();
    QString askKWin();
    QString regions() const;
    void forgetDevice(ei_device *device);

    QString m_service;
    QTemporaryDir m_dir;
    QString m_scriptPath;
    int m_scriptRuns = 0;
    QString m_state;
    bool m_stateCame = false;

    struct ei *m_ei = nullptr;
    int m_cookie = -1;
    QSocketNotifier *m_eiNotifier = nullptr;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_input;
    ei_seat *m_seat = nullptr;
    ei_device *m_pointer = nullptr;
    ei_device *m_absolute = nullptr;
    ei_device *m_keyboard = nullptr;
    bool m_pointerOn = false;
    bool m_absoluteOn = false;
    bool m_keyboardOn = false;
    uint32_t m_sequence = 0;
    uint64_t m_pings = 0;
    uint64_t m_pongs = 0;
    bool m_gone = false;
};
