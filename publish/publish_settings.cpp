#include "publish/publish_settings.h"

#include "app/settings_file.h"
#include "app/settings_line.h"

#include <cstring>

#include "rte/formatio.h"
#include "rte/utility.h"

PublishSettings publishing;

// A name made safe for a topic level and a client id.
template <std::size_t N>
static void safe_name(char (&name)[N])
{
    for (char *c = name; *c != '\0'; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '-'))
            *c = '_';
}

// What sets this copy apart from the others on the computer: the
// analyser's name; for a copy without one that keeps its settings in its
// own folder, that folder's name and a short mark of its whole path (two
// such folders may bear one name); nothing for the installed copy without
// a name, which is one per user and keeps the identity of earlier versions.
static void copy_name(char (&name)[64])
{
    char profile[kProfileNameSize], own[kPathSize], dir[kPathSize], id[17];
    if (GetProfile(profile) == 0 && profile[0] != '\0') {
        Fmt(name, "%s", profile);
        return;
    }
    name[0] = '\0';
    if (GetProjectDir(own) != 0 || GetSettingsDir(dir) != 0 || std::strcmp(own, dir) != 0 ||
        GetSettingsDirId(id) != 0)
        return;
    const char *folder = own;
    for (const char *c = own; *c != '\0'; ++c)
        if ((*c == '/' || *c == '\\') && c[1] != '\0')
            folder = c + 1;
    char cut[25];
    Fmt(cut, "%s", folder);
    id[8] = '\0';
    Fmt(name, "%s-%s", cut, id);
    safe_name(name);
}

static void defaults()
{
    std::memset(&publishing, 0, sizeof publishing);
    Fmt(publishing.host, "localhost");
    publishing.port = 1883;
    char host[64], name[64];
    if (GetHostName(host) != 0)
        Fmt(host, "unknown");
    // A topic level must not hold the separator or a wildcard.
    for (char *c = host; *c != '\0'; ++c)
        if (*c == '/' || *c == '+' || *c == '#')
            *c = '_';
    copy_name(name);
    if (name[0] == '\0') {
        Fmt(publishing.prefix, "vandrel/%s", host);
        Fmt(publishing.client_id, "vandrel-%s", host);
    } else {
        Fmt(publishing.prefix, "vandrel/%s/%s", host, name);
        Fmt(publishing.client_id, "vandrel-%s-%s", host, name);
    }
}

// Texts are UTF-8, as MQTT takes them and as paths are; files written
// before the broker's texts were held Windows-1252 there, and read as the
// operator typed them.
template <std::size_t N>
static void take_text(const char *value, char (&target)[N])
{
    CopyUtf8(target, value);
}

static void take_int(const char *value, int &target)
{
    Scan(value, "%d", target);
}

int publish_settings_load()
{
    defaults();
    // The file holds the broker's password.
    return settings_pairs_read("vandrel-publish.ini", true, [](const char *key, const char *value) {
        if (std::strcmp(key, "enabled") == 0) take_int(value, publishing.enabled);
        else if (std::strcmp(key, "host") == 0) take_text(value, publishing.host);
        else if (std::strcmp(key, "port") == 0) take_int(value, publishing.port);
        else if (std::strcmp(key, "tls") == 0) take_int(value, publishing.tls);
        else if (std::strcmp(key, "ca_file") == 0) take_text(value, publishing.ca_file);
        else if (std::strcmp(key, "user") == 0) take_text(value, publishing.user);
        else if (std::strcmp(key, "password") == 0) take_text(value, publishing.password);
        else if (std::strcmp(key, "prefix") == 0) take_text(value, publishing.prefix);
        else if (std::strcmp(key, "client_id") == 0) take_text(value, publishing.client_id);
        else if (std::strcmp(key, "store_limit") == 0) take_int(value, publishing.store_limit);
    });
}

int publish_settings_save()
{
    char fresh[kPathSize];
    // Nobody else may read the password, not even while it is written.
    const int file = settings_file_create("vandrel-publish.new", fresh, 1);
    if (file <= 0)
        return -1;
    const int written = FmtFile(file,
                                "enabled=%d\nhost=%s\nport=%d\ntls=%d\nca_file=%s\nuser=%s\n"
                                "password=%s\nprefix=%s\nclient_id=%s\nstore_limit=%d\n",
                                publishing.enabled, publishing.host, publishing.port, publishing.tls,
                                publishing.ca_file, publishing.user, publishing.password,
                                publishing.prefix, publishing.client_id, publishing.store_limit);
    return settings_file_replace(file, written, fresh, "vandrel-publish.ini");
}
