// Checks that depend on who runs them, made to run for everyone: as root, a
// child process becomes an ordinary user, so that permissions hold it back;
// as an ordinary user, a process gets mounts of its own in a user namespace.
#pragma once

#include <functional>
#include <string>

namespace support {

// Runs body in a child process, which ends with the test's thread if that
// ends first, and gives the child's exit status (128 + the signal number
// when a signal ended it); a serial port it still held leaves no lock file
// behind.  The body must not use the test's assertions: it answers through
// its return value.
int inChildProcess(const std::function<int()> &body);
// The same in two steps, for a child that works while the test goes on:
// the child's process id, then its exit status once it has ended.
int startChildProcess(const std::function<int()> &body);
int finishChildProcess(int child);

// For a child process: when root, becomes the user "nobody" with no
// supplementary groups; an ordinary user stays who it is.  Gives "" or
// what failed.
std::string dropRoot();

// Gives the calling process mounts of its own that no other process sees:
// root unshares its mount namespace; an ordinary user does so inside a new
// user namespace that maps its own user and group, so that files keep their
// owners.  The process must not have started threads yet.  Gives "" or what
// failed.
std::string ownMounts();

// After ownMounts: the directory is read-only for this process.  Gives ""
// or what failed.
std::string mountReadOnly(const std::string &directory);

}  // namespace support
