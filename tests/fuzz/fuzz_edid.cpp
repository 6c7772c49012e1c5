#include "edidreader.h"

#include <cstdint>
#include <cstdlib>

// Whatever a monitor sends as its EDID, the size read from it is none or
// one a monitor could have.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray edid(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QSize mm = EdidReader::sizeMm(edid);
    const bool none = mm.width() == 0 && mm.height() == 0;
    const bool believable =
        mm.width() > 0 && mm.height() > 0 && mm.width() <= 3000 && mm.height() <= 3000;
    if (!none && !believable)
        std::abort();
    return 0;
}
