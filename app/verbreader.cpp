#include "verbreader.h"

VerbReader::State VerbReader::feed(const char *data, std::size_t size)
{
    for (std::size_t i = 0; i < size && current == State::NeedMore; ++i) {
        const char c = data[i];
        if (c == '\n')
            current = line.empty() ? State::Malformed : State::Verb;
        else if (c < 'a' || c > 'z')
            current = State::Malformed;
        else if (line.size() + 1 >= maxMessage) // no room left for the newline
            current = State::TooLong;
        else
            line.push_back(c);
    }
    return current;
}
