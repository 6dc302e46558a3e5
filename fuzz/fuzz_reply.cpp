// Whatever bytes an analyser sends: the reply as the serial read leaves it
// (up to 24 bytes, any value, NUL included), evaluated for every quantity.
// The reading text must stay a terminated text of at most 31 characters.
#include "fuzz_check.h"

#include <cstdint>
#include <cstring>

#include "app/state.h"
#include "link/exchange.h"
#include "rte/formatio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    settings.mode = data[0] % 6;  // 0 to 5: the three quantities and others
    Fmt(state.command,
        RuntimeFormat(settings.mode == 3 ? "A2%c" : settings.mode == 2 ? "A1%c" : "M2%c"), 13);
    std::memset(state.reply, 0, sizeof state.reply);
    std::memcpy(state.reply, data + 1, size - 1 < 24 ? size - 1 : 24);
    auswerten();
    FUZZ_CHECK(std::memchr(state.reading_text, 0, sizeof state.reading_text) != nullptr);
    FUZZ_CHECK(std::strlen(state.reading_text) <= 31);
    return 0;
}
