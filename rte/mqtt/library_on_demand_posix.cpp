#include "rte/mqtt/library_on_demand.h"

#include <dlfcn.h>

#include <cstdio>

namespace rte::library {

void *open(const char *file, const char *user)
{
    void *library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        std::fprintf(stderr, "%s cannot start: %s\n", user, dlerror());
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
