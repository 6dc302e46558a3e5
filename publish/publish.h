// Every reading, and every alarm event, as a message to the site's MQTT
// broker.  These routines build the message and hand it to the engine's
// outbox, which keeps it on disk until the broker has it; the network work
// is the engine's, on a thread of its own.
#pragma once

#include <cstddef>

#include "record/seal.h"

// Reads the publishing settings and, when publishing is on, opens the
// client.  At start-up, and again when the settings change.
void publish_start();
// The same with the settings as they stand in `publishing`.
void publish_open();
// The cycle's hand-over: the reading just taken, on <prefix>/reading.
void publish_reading();
// An alarm event on <prefix>/alarm: "alarm_high", "alarm_low", "no_answer",
// "acknowledged" or "normal", of the quantity being measured, with its value
// and the limit concerned.
void publish_alarm(const char *event, double value, double limit, double elapsed);
// One entry of the recording's seal on <prefix>/seal, in the order written,
// so that a witness outside the computer holds the chain.
void publish_seal(const SealEntry &entry);
// Ends publishing; what the broker does not have yet waits in the outbox
// for the next start.
void publish_stop();
// Why the topics made from `prefix` cannot be published to, completing
// "the topic prefix ..."; nullptr when they can.
const char *publish_prefix_fault(const char *prefix);
// What the operator should know about publishing, in a sentence.
enum { kConditionSize = 720 };
void publish_condition(char (&text)[kConditionSize]);
