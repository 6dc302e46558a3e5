// Whatever bytes an analyser sends: the reply as the serial read leaves it
// (up to 24 bytes, any value, NUL included), evaluated for every quantity
// against each of the analyser's queries.  The reading text must stay a
// terminated text of at most 31 characters; a reply that does not start with
// the query's letter is shown as it came, between stars, and reads 0.
#include "fuzz_check.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "app/state.h"
#include "link/exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char *const kQueries[] = {"M2\r", "A1\r", "A2\r"};
    settings.mode = data[0] % 6;  // 0 to 5: the three quantities and others
    std::strcpy(state.command, kQueries[data[0] / 6 % 3]);
    std::memset(state.reply, 0, sizeof state.reply);
    std::memcpy(state.reply, data + 1, size - 1 < 24 ? size - 1 : 24);
    state.reading = 1.5;
    auswerten();
    FUZZ_CHECK(std::memchr(state.reading_text, 0, sizeof state.reading_text) != nullptr);
    FUZZ_CHECK(std::strlen(state.reading_text) <= 31);
    if (state.reply[0] != state.command[0]) {
        FUZZ_CHECK(state.reading_text == "* " + std::string(state.reply) + "  *");
        FUZZ_CHECK(state.reading == 0.0);
    } else {
        FUZZ_CHECK(state.reading_text[0] != '*');
    }
    return 0;
}
