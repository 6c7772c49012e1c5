#include "verbreader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

// However the bytes are cut into reads, the reader answers as a plain
// reading of them all at once does, never keeps more than a message's
// worth, and once it has answered, more bytes change nothing.

namespace {

using State = VerbReader::State;

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// The rule, read plainly off the whole input.
State plainly(const std::uint8_t *data, std::size_t size, std::string &verb)
{
    for (std::size_t i = 0; i < size && i < VerbReader::maxMessage; ++i) {
        const std::uint8_t c = data[i];
        if (c == '\n') {
            if (i == 0)
                return State::Malformed;
            verb.assign(reinterpret_cast<const char *>(data), i);
            return State::Verb;
        }
        if (c < 'a' || c > 'z')
            return State::Malformed;
    }
    return size >= VerbReader::maxMessage ? State::TooLong : State::NeedMore;
}

// Feeds the input in reads whose lengths `cut` picks.
template <typename Cut> VerbReader readInPieces(const std::uint8_t *data, std::size_t size, Cut cut)
{
    VerbReader reader;
    std::size_t at = 0;
    while (at < size) {
        std::size_t n = cut(at);
        if (n > size - at)
            n = size - at;
        const State before = reader.state();
        const State after = reader.feed(reinterpret_cast<const char *>(data + at), n);
        require(before == State::NeedMore || after == before);
        require(after == reader.state());
        at += n;
    }
    return reader;
}

void same(const VerbReader &reader, State state, const std::string &verb)
{
    require(reader.state() == state);
    require(reader.verb() == (state == State::Verb ? verb : std::string()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string verb;
    const State state = plainly(data, size, verb);
    if (state == State::Verb) {
        require(!verb.empty() && verb.size() < VerbReader::maxMessage);
        for (char c : verb)
            require(c >= 'a' && c <= 'z');
    }

    same(readInPieces(data, size, [size](std::size_t) { return size ? size : 1; }), state, verb);
    same(readInPieces(data, size, [](std::size_t) { return std::size_t(1); }), state, verb);
    // Cuts the input chooses itself, as reads of a socket come.
    same(
        readInPieces(data, size, [data](std::size_t at) { return std::size_t(1 + data[at] % 13); }),
        state, verb);

    if (state != State::NeedMore) {
        VerbReader reader;
        reader.feed(reinterpret_cast<const char *>(data), size);
        const std::string more(2 * VerbReader::maxMessage, '\n');
        reader.feed(more.data(), more.size());
        reader.feed(reinterpret_cast<const char *>(data), size);
        same(reader, state, verb);
    }
    return 0;
}
