#include "verbreader.h"

VerbReader::State VerbReader::feed(const char *data, std::size_t size)
{
    for (std::size_t i = 0; i < size && current == State::NeedMore; ++i) {
        const char c = data[i];
        const bool inArgument = split != std::string::npos;
        if (c == '\n') {
            const bool empty = line.empty() || (inArgument && split + 1 == line.size());
            current = empty ? State::Malformed : State::Verb;
            if (!inArgument)
                split = line.size();
            continue;
        }
        // One space, after a verb, starts its argument.
        const bool fits = inArgument ? (c > ' ' && c <= '~')
                                     : ((c >= 'a' && c <= 'z') || (c == ' ' && !line.empty()));
        if (!fits) {
            current = State::Malformed;
        } else if (line.size() + 1 >= maxMessage) { // no room left for the newline
            current = State::TooLong;
        } else {
            if (c == ' ')
                split = line.size();
            line.push_back(c);
        }
    }
    return current;
}
