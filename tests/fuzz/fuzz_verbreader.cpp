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

// The rule, read plainly off the whole input: the first line within the
// limit, split at its first space.
State plainly(const std::uint8_t *data, std::size_t size, std::string &verb, std::string &argument)
{
    std::size_t space = size;
    for (std::size_t i = 0; i < size && i < VerbReader::maxMessage; ++i) {
        const std::uint8_t c = data[i];
        if (c == '\n') {
            if (i == 0 || space + 1 == i)
                return State::Malformed;
            const char *text = reinterpret_cast<const char *>(data);
            if (space < i) {
                verb.assign(text, space);
                argument.assign(text + space + 1, i - space - 1);
            } else {
                verb.assign(text, i);
            }
            return State::Verb;
        }
        if (c == ' ' && space == size && i > 0)
            space = i;
        else if (space < i ? (c <= ' ' || c > '~') : (c < 'a' || c > 'z'))
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

void same(const VerbReader &reader, State state, const std::string &verb,
          const std::string &argument)
{
    require(reader.state() == state);
    require(reader.verb() == (state == State::Verb ? verb : std::string()));
    require(reader.argument() == (state == State::Verb ? argument : std::string()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string verb, argument;
    const State state = plainly(data, size, verb, argument);
    if (state == State::Verb) {
        const std::size_t line = verb.size() + (argument.empty() ? 0 : argument.size() + 1);
        require(!verb.empty() && line < VerbReader::maxMessage);
        for (char c : verb)
            require(c >= 'a' && c <= 'z');
        for (char c : argument)
            require(c > ' ' && c <= '~');
    }

    same(readInPieces(data, size, [size](std::size_t) { return size ? size : 1; }), state, verb,
         argument);
    same(readInPieces(data, size, [](std::size_t) { return std::size_t(1); }), state, verb,
         argument);
    // Cuts the input chooses itself, as reads of a socket come.
    same(
        readInPieces(data, size, [data](std::size_t at) { return std::size_t(1 + data[at] % 13); }),
        state, verb, argument);

    if (state != State::NeedMore) {
        VerbReader reader;
        reader.feed(reinterpret_cast<const char *>(data), size);
        const std::string more(2 * VerbReader::maxMessage, '\n');
        reader.feed(more.data(), more.size());
        reader.feed(reinterpret_cast<const char *>(data), size);
        same(reader, state, verb, argument);
    }
    return 0;
}
