#include "swayipcreader.h"

#include <cstring>

namespace {

constexpr char Magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype HeaderSize = sizeof Magic + 2 * sizeof(std::uint32_t);

} // namespace

QByteArray SwayIpcReader::frame(std::uint32_t type, const QByteArray &payload)
{
    const std::uint32_t header[2] = {std::uint32_t(payload.size()), type};
    QByteArray bytes(Magic, sizeof Magic);
    bytes.append(reinterpret_cast<const char *>(header), sizeof header);
    bytes.append(payload);
    return bytes;
}

void SwayIpcReader::feed(const QByteArray &bytes)
{
    if (garbled)
        return;
    if (used > 0) {
        buffer.remove(0, used);
        used = 0;
    }
    buffer.append(bytes);
}

bool SwayIpcReader::next(Message &message)
{
    if (garbled || buffer.size() - used < HeaderSize)
        return false;
    const char *head = buffer.constData() + used;
    if (std::memcmp(head, Magic, sizeof Magic) != 0) {
        garbled = true;
        return false;
    }
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    std::memcpy(&length, head + sizeof Magic, sizeof length);
    std::memcpy(&type, head + sizeof Magic + sizeof length, sizeof type);
    if (length > MaxPayload) {
        garbled = true;
        return false;
    }
    if (buffer.size() - used - HeaderSize < qsizetype(length))
        return false;
    message.type = type;
    message.payload = buffer.mid(used + HeaderSize, qsizetype(length));
    used += HeaderSize + qsizetype(length);
    return true;
}
