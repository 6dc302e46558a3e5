// The publishing settings and their file "vandrel-publish.ini" beside
// vandrel.ini: one "key=value" line each, texts in UTF-8 as MQTT takes
// them, readable by the user only because it holds the broker password.
#pragma once

#include "app/state.h"

enum { kPublishText = 128 };

struct PublishSettings {
    int enabled;
    char host[kPublishText];
    int port;
    int tls;
    char ca_file[kPathSize];
    char user[kPublishText];
    char password[kPublishText];
    char prefix[kPublishText];
    char client_id[kPublishText];
    // Messages the store keeps while the broker is away; 0: a week of
    // readings at the current interval.
    int store_limit;
};

extern PublishSettings publishing;

// The defaults, then whatever the file holds.  A missing file is the
// defaults (publishing off); 0 when the file was read or is missing,
// negative when it exists and cannot be read.
int publish_settings_load();
// Written to a temporary file that only this user may read from its first
// byte on, and renamed over the old one.  0, or negative when nothing was
// saved.
int publish_settings_save();
