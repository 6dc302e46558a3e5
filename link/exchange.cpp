#include "link/exchange.h"

#include <cmath>
#include <cstring>

#include "app/state.h"
#include "link/reading_text.h"
#include "rte/formatio.h"
#include "rte/rs232.h"

void abfragen()
{
    if (settings.mode == 3)
        Fmt(state.command, "A2%c", 13);
    else if (settings.mode == 2)
        Fmt(state.command, "A1%c", 13);
    else
        Fmt(state.command, "M2%c", 13);
    // The whole area, terminator included, so that a reply of the full 24
    // characters without a carriage return is still a terminated text.
    std::memset(state.reply, 0, sizeof state.reply);
    FlushOutQ(settings.com_port);
    ComWrt(settings.com_port, state.command, static_cast<int>(std::strlen(state.command)));
    FlushInQ(settings.com_port);
    ComRdTerm(settings.com_port, state.reply, 24, 13);
    auswerten();
    if (ReturnRS232Err() != 0)
        Fmt(state.reading_text, "NO CONNECTION");
}

void auswerten()
{
    // The value follows the two query letters; with no number there the
    // previous reading stands.
    Scan(state.reply + 2, "%f", state.reading);
    if (state.reply[0] == state.command[0]) {
        messwert();
    } else {
        Fmt(state.reading_text, "* %s  *", state.reply);
        state.reading = 0.0;
    }
}

int exchange_result()
{
    if (ReturnRS232Err() != 0)
        return kExchangeNoConnection;
    if (state.reply[0] != state.command[0])
        return kExchangeBadReply;
    // Read as auswerten reads it; an infinity is no reading either.
    double value = 0;
    if (Scan(state.reply + 2, "%f", value) != 1 || !std::isfinite(value))
        return kExchangeNoNumber;
    return kExchangeReading;
}
