#pragma once

#include <cstddef>
#include <string>

// Reads the one message a connection to the single-instance socket may
// carry: a verb of lower-case letters ended by a newline ("show\n"), at
// most `maxMessage` bytes with the newline. Nothing after the first newline
// counts, and nothing past the limit is kept, so a client that never stops
// sending costs no more than a short verb. Plain C++ on bytes: the fuzzer
// drives it on its own.
class VerbReader
{
public:
    static constexpr std::size_t maxMessage = 64;

    enum class State
    {
        NeedMore,  // no newline yet, and room for one
        Verb,      // a whole verb: verb()
        TooLong,   // `maxMessage` bytes and no newline
        Malformed, // an empty line, or a byte no verb has
    };

    // Takes the next bytes of the connection. Once the state is no longer
    // NeedMore, further bytes change nothing and are not looked at.
    State feed(const char *data, std::size_t size);
    State state() const { return current; }
    // The verb, without its newline; empty unless the state is Verb.
    std::string verb() const { return current == State::Verb ? line : std::string(); }

private:
    State current = State::NeedMore;
    std::string line;
};
