// Libraries that only publishing needs, opened by name when publishing
// first starts instead of at every start of the program: mapping and
// relocating them took milliseconds before the first window could show, in
// a program that may never publish.  POSIX only: Windows maps a DLL's
// pages as they are used and links SQLite, and loads the MQTT library by
// name for another reason (paho_win32.cpp).
#pragma once

namespace rte::library {

// The library, kept open for the life of the process (threads it starts may
// outlive every use), or nullptr with the reason on standard error; `user`
// says what cannot start without it.  A library that cannot be opened is
// also named, with `what` it is and the Debian `package` that brings it,
// in the text MqttMissingLibrary() gives: standard error is seldom seen.
void *open(const char *file, const char *user, const char *what, const char *package);

// The address of the library's function `name`, or nullptr with the reason
// on standard error.
void *find(void *library, const char *name, const char *user);

template <typename F>
bool take(void *library, const char *name, F &function, const char *user)
{
    function = reinterpret_cast<F>(find(library, name, user));
    return function != nullptr;
}

}  // namespace rte::library
