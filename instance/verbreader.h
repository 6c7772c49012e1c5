#pragma once

#include <cstddef>
#include <string>

// Reads the one message a connection to the single-instance socket may
// carry: a verb of lower-case letters, perhaps one argument after a single
// space (printable ASCII, no spaces), and a newline ("show\n",
// "jump DP-1\n"), at most `maxMessage` bytes with the newline. Nothing
// after the first newline counts, and nothing past the limit is kept, so a
// client that never stops sending costs no more than a short verb. Plain
// C++ on bytes: the fuzzer drives it on its own.
class VerbReader
{
public:
    static constexpr std::size_t maxMessage = 64;

    enum class State
    {
        NeedMore,  // no newline yet, and room for one
        Verb,      // a whole verb: verb(), argument()
        TooLong,   // `maxMessage` bytes and no newline
        Malformed, // an empty verb or argument, or a byte neither may have
    };

    // Takes the next bytes of the connection. Once the state is no longer
    // NeedMore, further bytes change nothing and are not looked at.
    State feed(const char *data, std::size_t size);
    State state() const { return current; }
    // The verb, without its argument or newline; empty unless the state is
    // Verb.
    std::string verb() const
    {
        return current == State::Verb ? line.substr(0, split) : std::string();
    }
    // Its argument, empty if it has none or the state is not Verb.
    std::string argument() const
    {
        return current == State::Verb && split < line.size() ? line.substr(split + 1)
                                                             : std::string();
    }

private:
    State current = State::NeedMore;
    std::string line;
    // Where the space before the argument is, or npos while none has come.
    std::size_t split = std::string::npos;
};
