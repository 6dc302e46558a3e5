#include "rte/mqtt/paho.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "rte/mqtt.h"

// The MQTT library is loaded by name when the first client is made, not
// linked: it starts OpenSSL (TLS or not), and OpenSSL reads a configuration
// file, which can have it load any DLL.  Left alone it reads
// <OPENSSLDIR>\openssl.cnf, a folder compiled into it by whoever built it,
// which on Windows may be one that any user of the PC can create and fill.
// Before the library is loaded, the program names OpenSSL's places inside
// its own folder, which only whoever installed the program can write:
//   OPENSSL_CONF       <program folder>\openssl.cnf, installed with the
//                      program and setting nothing (app/package/openssl.cnf).
//                      Without it OpenSSL runs on its defaults, but also
//                      tries the path's UTF-8 bytes read in the ANSI code
//                      page, a second folder where the name is not ASCII
//   OPENSSL_MODULES    <program folder>\ossl-modules
//   OPENSSL_ENGINES    <program folder>\engines-3
//   OPENSSL_WIN32_UTF8 1: OpenSSL reads these as UTF-8 from the process's
//                      environment instead of in the ANSI code page, so a
//                      folder named beyond it works too
// whatever the environment held; they set nothing else in the program.
// scripts/windows/test.sh checks that a planted openssl.cnf is never read
// (tests/windows/openssl_conf_test.cpp).

namespace rte::mqtt {
namespace {

// As the SDK names it; OpenSSL's libcrypto and libssl load as its imports.
constexpr wchar_t kLibrary[] = L"libpaho-mqtt3as.dll";
constexpr const char *kLibraryName = "libpaho-mqtt3as.dll";

// Written once, when the library cannot be loaded, then only read.
std::mutex missingMutex;
char missingText[200];
std::atomic<bool> missingSet{false};

void missing(const char *text, unsigned long error)
{
    std::fprintf(stderr, "Publishing cannot start: %s (Windows error %lu)\n", text, error);
    std::lock_guard lock(missingMutex);
    if (!missingSet) {
        std::snprintf(missingText, sizeof missingText, "%s", text);
        missingSet = true;
    }
}

// The folder the program's executable lies in, or an empty text.
std::wstring programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// _wputenv sets both the process's environment and the C run time's copy
// (which OpenSSL, sharing msvcrt.dll, reads without OPENSSL_WIN32_UTF8).
bool set(const wchar_t *name, const std::wstring &value)
{
    return _wputenv((std::wstring(name) + L'=' + value).c_str()) == 0;
}

bool nameOpenSslPlaces()
{
    const std::wstring folder = programFolder();
    return !folder.empty() && set(L"OPENSSL_WIN32_UTF8", L"1") && set(L"OPENSSL_CONF", folder + L"\\openssl.cnf") &&
           set(L"OPENSSL_MODULES", folder + L"\\ossl-modules") && set(L"OPENSSL_ENGINES", folder + L"\\engines-3");
}

template <typename F>
bool take(HMODULE library, const char *name, F &function)
{
    // Through void (*)(): a cast between function types that says so.
    function = reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
    if (!function)
        std::fprintf(stderr, "Publishing cannot start: %s has no %s\n", kLibraryName, name);
    return function != nullptr;
}

const Paho *load()
{
    if (!nameOpenSslPlaces()) {
        missing("OpenSSL's configuration cannot be set to the program's folder", ::GetLastError());
        return nullptr;
    }
    const HMODULE library = ::LoadLibraryW(kLibrary);
    if (!library) {
        const DWORD error = ::GetLastError();
        char text[160];
        if (error == ERROR_MOD_NOT_FOUND)
            std::snprintf(text, sizeof text,
                          "the MQTT library (%s) or its TLS library (libssl-3-x64.dll, libcrypto-3-x64.dll) is "
                          "missing: install the program again",
                          kLibraryName);
        else
            std::snprintf(text, sizeof text, "the MQTT library (%s) cannot be loaded: install the program again",
                          kLibraryName);
        missing(text, error);
        return nullptr;
    }
    static Paho table;
    const auto found = [library](const char *name, auto &function) { return take(library, name, function); };
    const bool whole = found("MQTTAsync_createWithOptions", table.createWithOptions) &&
                       found("MQTTAsync_setConnectionLostCallback", table.setConnectionLostCallback) &&
                       found("MQTTAsync_setDeliveryCompleteCallback", table.setDeliveryCompleteCallback) &&
                       found("MQTTAsync_connect", table.connect) && found("MQTTAsync_sendMessage", table.sendMessage) &&
                       found("MQTTAsync_isConnected", table.isConnected) &&
                       found("MQTTAsync_disconnect", table.disconnect) && found("MQTTAsync_destroy", table.destroy) &&
                       found("MQTTAsync_free", table.free);
    return whole ? &table : nullptr;
}

}  // namespace

// Kept loaded for the life of the process: threads it starts may outlive
// every use.
const Paho *paho()
{
    static const Paho *const loaded = load();
    return loaded;
}

}  // namespace rte::mqtt

const char *MqttMissingLibrary()
{
    return rte::mqtt::missingSet ? rte::mqtt::missingText : "";
}
