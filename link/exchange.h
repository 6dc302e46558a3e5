// One query to the analyser and its reply: the reading and its display text.
#pragma once

void abfragen();
// What the reply in `state.reply` says to the query in `state.command`:
// the reading and its text.  No input or output of its own.
void auswerten();

// What the last exchange gave: a reading, or why there is none.  The
// display and the recording keep the previous value where a reply holds no
// number, as the instrument's own program does; whatever watches the
// readings (alarms, publishing) asks here rather than take that value for a
// fresh one.
enum ExchangeResult {
    kExchangeReading = 0,  // the answer to the query, with a number
    kExchangeNoConnection, // no reply, or one without its carriage return
    kExchangeBadReply,     // a reply to some other question
    kExchangeNoNumber,     // the answer to the query, but no number in it ("nan" too)
};
int exchange_result();
