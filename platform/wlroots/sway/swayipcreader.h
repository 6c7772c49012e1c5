#pragma once

#include <QByteArray>
#include <cstdint>

// Cuts sway's IPC stream into whole messages, however the bytes arrive: a
// message split over several reads, or several in one. A message is the
// magic "i3-ipc", the payload's length and the message's type (32 bits
// each, in the machine's own byte order), then the payload (JSON).
class SwayIpcReader
{
public:
    struct Message
    {
        std::uint32_t type = 0;
        QByteArray payload;
    };

    // Events carry this bit in their type; a reply carries its request's.
    static constexpr std::uint32_t EventBit = 0x80000000u;
    // A longer payload means the stream is garbled: a whole tree of a busy
    // desktop is a few megabytes at most.
    static constexpr std::uint32_t MaxPayload = 64u << 20;

    // One message as written to the socket.
    static QByteArray frame(std::uint32_t type, const QByteArray &payload = QByteArray());

    void feed(const QByteArray &bytes);
    // Takes the next whole message, if one has come.
    bool next(Message &message);
    // Not sway's framing: nothing more can be read from this stream.
    bool broken() const { return garbled; }

private:
    QByteArray buffer;
    qsizetype used = 0; // bytes at the front of `buffer` already taken
    bool garbled = false;
};
