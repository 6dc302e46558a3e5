#include "rte/mqtt/library_on_demand.h"

#include <dlfcn.h>

#include <cstdio>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

#include "rte/mqtt.h"

namespace rte::library {

namespace {

// Written once, the first time a library is missing, then only read.
std::mutex missingMutex;
char missingText[200];
std::atomic<bool> missingSet{false};

}  // namespace

void *open(const char *file, const char *user, const char *what, const char *package)
{
    // Tests hide a library from the program by naming a folder without it;
    // nothing else sets this.
    const char *folder = std::getenv("VANDREL_PUBLISH_LIBRARY_FOLDER");
    const std::string path = folder && folder[0] != '\0' ? std::string(folder) + '/' + file : file;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "%s cannot start: %s\n", user, dlerror());
        std::lock_guard lock(missingMutex);
        if (!missingSet) {
            std::snprintf(missingText, sizeof missingText, "%s (%s) is missing: install the package %s", what, file,
                          package);
            missingSet = true;
        }
    }
    return library;
}

void *find(void *library, const char *name, const char *user)
{
    void *address = dlsym(library, name);
    if (!address)
        std::fprintf(stderr, "%s cannot start: %s\n", user, dlerror());
    return address;
}

}  // namespace rte::library

const char *MqttMissingLibrary()
{
    return rte::library::missingSet ? rte::library::missingText : "";
}
