// What a user of the PC could plant for OpenSSL to load (openssl_conf_test):
// a DLL that, when loaded, leaves "<its own path>.loaded" beside itself,
// naming the program that loaded it.  It is no OpenSSL module or engine:
// loading it is all it shows.
#include <windows.h>

#include <cwchar>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t marker[MAX_PATH + 16];
    const DWORD length = ::GetModuleFileNameW(self, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    std::wcscat(marker, L".loaded");
    const HANDLE file = ::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return TRUE;
    wchar_t program[MAX_PATH];
    const DWORD named = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    DWORD written = 0;
    ::WriteFile(file, program, named * sizeof(wchar_t), &written, nullptr);
    ::CloseHandle(file);
    return TRUE;
}
