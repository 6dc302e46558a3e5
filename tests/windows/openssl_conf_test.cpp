// OpenSSL's configuration on Windows.  The MQTT library starts OpenSSL when
// its first client is made, TLS or not, and OpenSSL then reads an
// openssl.cnf, which can have it load any DLL.  Left alone it reads the one
// in the configuration folder compiled into it (OPENSSLDIR), which wine,
// like a Windows whose OpenSSL names a folder any user may create, lets
// anyone write.  The program names its own, in its own folder, before the
// library is loaded: one planted in OPENSSLDIR is never read.
//
// The marker: the test plants an openssl.cnf in OPENSSLDIR (as the SDK's
// OpenSSL names it) that has OpenSSL load planted_module.dll, planted
// beside it, as a provider module; loading that DLL leaves
// "planted_module.dll.loaded" beside it.  A client made through the MQTT
// library alone, as the program did before, shows that the marker works;
// the program's publishing must never trigger it.  Each case is a process
// of its own, since OpenSSL reads its configuration once in a process.
//
// Run from a folder of its own, as the program is installed (with the
// openssl.cnf that comes with it), with planted_module.dll beside it
// (scripts/windows/test.sh).
//
//   openssl_conf_test.exe                the tests
//   openssl_conf_test.exe --bare-client  a client made through the MQTT
//       library directly: 0 when it was made
//   openssl_conf_test.exe --publish      the program's publishing, until its
//       connection reaches a listener of this process: 0 when it did, the
//       MQTT library was not loaded before, and the OPENSSL_ variables name
//       the program's folder
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <MQTTAsync.h>
#include <openssl/crypto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "rte/mqtt.h"

namespace {

namespace fs = std::filesystem;

// As the SDK names them.
constexpr wchar_t kMqttLibrary[] = L"libpaho-mqtt3as.dll";
constexpr wchar_t kCryptoLibrary[] = L"libcrypto-3-x64.dll";

const char *const kVariables[] = {"OPENSSL_CONF", "OPENSSL_MODULES", "OPENSSL_ENGINES", "OPENSSL_WIN32_UTF8"};

fs::path programFolder()
{
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(self).parent_path() : fs::path();
}

// A function of a library loaded by name.
template <typename F>
F function(HMODULE library, const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

std::string utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::wstring wide(const char *text)
{
    return std::wstring(text, text + std::strlen(text));
}

// The value of an environment variable of the process, or "(not set)".
std::wstring variable(const char *name)
{
    wchar_t value[1024];
    const DWORD length = ::GetEnvironmentVariableW(wide(name).c_str(), value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value) : std::wstring(L"(not set)");
}

// OPENSSLDIR as the SDK's OpenSSL names it, from the version text
// `OPENSSLDIR: "C:/Program Files/Common Files/SSL"`; asking for it starts
// nothing in OpenSSL.
fs::path configurationFolder()
{
    const HMODULE crypto = ::LoadLibraryW(kCryptoLibrary);
    if (!crypto)
        return {};
    const auto version = function<decltype(&OpenSSL_version)>(crypto, "OpenSSL_version");
    if (!version)
        return {};
    const std::string text = version(OPENSSL_DIR);
    const std::size_t first = text.find('"'), last = text.rfind('"');
    if (first == std::string::npos || last <= first)
        return {};
    return fs::u8path(text.substr(first + 1, last - first - 1)).make_preferred();
}

// An openssl.cnf that has OpenSSL load `module` as a provider when it reads
// it.  A backslash escapes in such a file.
std::string configurationLoading(const fs::path &module)
{
    std::string path;
    for (const char c : utf8(module)) {
        if (c == '\\')
            path += '\\';
        path += c;
    }
    return "openssl_conf = openssl_init\n"
           "[openssl_init]\n"
           "providers = providers\n"
           "[providers]\n"
           "default = default_provider\n"
           "planted = planted_provider\n"
           "[default_provider]\n"
           "activate = 1\n"
           "[planted_provider]\n"
           "module = " +
           path +
           "\n"
           "activate = 1\n";
}

bool write(const fs::path &file, const std::string &text)
{
    std::ofstream out(file, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::wstring text(reinterpret_cast<const wchar_t *>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return utf8(fs::path(text));
}

// This program again with `argument`: its exit code, or -1 when it did not
// start or end within two minutes.
long runChild(const wchar_t *argument)
{
    wchar_t self[MAX_PATH];
    if (::GetModuleFileNameW(nullptr, self, MAX_PATH) == 0)
        return -1;
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + argument;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
        return -1;
    long result = -1;
    if (::WaitForSingleObject(child.hProcess, 120000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (::GetExitCodeProcess(child.hProcess, &code))
            result = static_cast<long>(code);
    } else {
        ::TerminateProcess(child.hProcess, 1);
        ::WaitForSingleObject(child.hProcess, INFINITE);
    }
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    return result;
}

class OpenSslConfiguration : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The children start without any of these, whatever the run's
        // environment holds.
        for (const char *name : kVariables)
            ::SetEnvironmentVariableW(wide(name).c_str(), nullptr);
        folder_ = configurationFolder();
        ASSERT_FALSE(folder_.empty()) << "the SDK's OpenSSL names no OPENSSLDIR";
        fs::create_directories(folder_);
        ASSERT_FALSE(fs::exists(folder_ / "openssl.cnf")) << utf8(folder_) << " holds an openssl.cnf already";
        std::error_code error;
        fs::copy_file(programFolder() / "planted_module.dll", folder_ / "planted_module.dll",
                      fs::copy_options::overwrite_existing, error);
        ASSERT_FALSE(error) << "planted_module.dll beside the test: " << error.message();
        fs::remove(marker());
        ASSERT_TRUE(write(folder_ / "openssl.cnf", configurationLoading(folder_ / "planted_module.dll")));
        planted_ = true;
    }
    void TearDown() override
    {
        if (!planted_)
            return;
        std::error_code ignored;
        for (const char *name : {"openssl.cnf", "planted_module.dll", "planted_module.dll.loaded"})
            fs::remove(folder_ / name, ignored);
    }

    fs::path marker() const { return folder_ / "planted_module.dll.loaded"; }

    fs::path folder_;
    bool planted_ = false;
};

// The openssl.cnf beside the program, put aside for a test and back after it.
class AsideForATest {
public:
    AsideForATest() { std::error_code ignored; fs::rename(file_, kept_, ignored); }
    ~AsideForATest()
    {
        std::error_code ignored;
        fs::remove(file_, ignored);
        fs::rename(kept_, file_, ignored);
    }
    AsideForATest(const AsideForATest &) = delete;
    AsideForATest &operator=(const AsideForATest &) = delete;
    const fs::path &file() const { return file_; }

private:
    fs::path file_ = programFolder() / "openssl.cnf", kept_ = programFolder() / "openssl.cnf.kept";
};

// Without it, nothing below would show anything: OpenSSL as the MQTT
// library starts it, left alone, reads the planted file and loads the
// planted DLL.
TEST_F(OpenSslConfiguration, APlantedOneIsReadByAClientMadeThroughTheMqttLibraryAlone)
{
    EXPECT_EQ(runChild(L"--bare-client"), 0);
    EXPECT_TRUE(fs::exists(marker())) << "OpenSSL did not load the module that " << utf8(folder_ / "openssl.cnf")
                                      << " names: the marker does not work here";
}

// As installed: the openssl.cnf that comes with the program beside it.
TEST_F(OpenSslConfiguration, APlantedOneIsNeverReadByThePublishingProgram)
{
    ASSERT_TRUE(fs::exists(programFolder() / "openssl.cnf")) << "no openssl.cnf beside the test, as installed";
    EXPECT_EQ(runChild(L"--publish"), 0);
    EXPECT_FALSE(fs::exists(marker())) << "OpenSSL read the planted configuration and loaded the planted DLL into "
                                       << contents(marker());
}

// OpenSSL, finding no openssl.cnf where the program says, takes none from
// elsewhere.
TEST_F(OpenSslConfiguration, NorWithoutTheOneThatComesWithTheProgram)
{
    const AsideForATest aside;
    ASSERT_FALSE(fs::exists(aside.file()));
    EXPECT_EQ(runChild(L"--publish"), 0);
    EXPECT_FALSE(fs::exists(marker())) << "OpenSSL read the planted configuration and loaded the planted DLL into "
                                       << contents(marker());
}

// The variables name the program's folder (whose name no single ANSI code
// page holds, as scripts/windows/test.sh runs it): the openssl.cnf there is
// the one read.  OpenSSL opens module files by their ANSI name: this one
// lies in the temporary folder.
TEST_F(OpenSslConfiguration, TheOneInTheProgramsFolderIsTheOneRead)
{
    const AsideForATest aside;
    const fs::path modules = fs::temp_directory_path() / ("vandrel-openssl-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(modules);
    fs::copy_file(programFolder() / "planted_module.dll", modules / "own_module.dll",
                  fs::copy_options::overwrite_existing);
    ASSERT_TRUE(write(aside.file(), configurationLoading(modules / "own_module.dll")));
    EXPECT_EQ(runChild(L"--publish"), 0);
    EXPECT_TRUE(fs::exists(modules / "own_module.dll.loaded")) << "OpenSSL did not read " << utf8(aside.file());
    EXPECT_FALSE(fs::exists(marker())) << "OpenSSL read the planted configuration and loaded the planted DLL into "
                                       << contents(marker());
    std::error_code ignored;
    fs::remove_all(modules, ignored);
}

// The child: a client made as a program that names no configuration makes
// it, through the MQTT library loaded by name.
int bareClient()
{
    const HMODULE library = ::LoadLibraryW(kMqttLibrary);
    if (!library)
        return 2;
    const auto create = function<decltype(&MQTTAsync_create)>(library, "MQTTAsync_create");
    MQTTAsync handle = nullptr;
    if (!create || create(&handle, "tcp://127.0.0.1:1883", "openssl-conf-test", MQTTCLIENT_PERSISTENCE_NONE,
                          nullptr) != MQTTASYNC_SUCCESS)
        return 3;
    return 0;
}

// The child: the program's publishing, to a broker that is a listener of
// this process's, until its connection arrives (so the MQTT library has
// made its client and started OpenSSL).
int publishUntilConnected()
{
    // Linked as the program links it, the MQTT library is not loaded with
    // the program, nor OpenSSL: before the variables are set, nothing of
    // theirs runs.
    int code = 0;
    for (const wchar_t *library : {kMqttLibrary, kCryptoLibrary})
        if (::GetModuleHandleW(library)) {
            std::fprintf(stderr, "openssl_conf_test: %ls is loaded before publishing starts\n", library);
            code = 5;
        }
    WSADATA winsock;
    if (::WSAStartup(MAKEWORD(2, 2), &winsock) != 0)
        return 2;
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener == INVALID_SOCKET || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 2;
    const fs::path outbox =
        fs::temp_directory_path() / ("vandrel-openssl-" + std::to_string(::GetCurrentProcessId()) + ".sqlite");
    if (OutboxOpen(utf8(outbox).c_str(), 100) < 0)
        return 2;
    const MqttOptions options{"127.0.0.1", ::ntohs(address.sin_port), 0, "", "", "", "openssl-conf-test",
                              "vandrel/openssl/status", "vandrel/openssl/dropped"};
    MqttConnect(options);
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval limit{60, 0};
    const bool arrived = ::select(0, &ready, nullptr, nullptr, &limit) == 1;
    if (arrived)
        ::closesocket(::accept(listener, nullptr, nullptr));
    MqttClose(5);
    std::error_code ignored;
    for (const char *suffix : {"", "-wal", "-shm", ".lock"})
        fs::remove(outbox.wstring() + fs::path(suffix).wstring(), ignored);
    if (!arrived) {
        std::fprintf(stderr, "openssl_conf_test: the program's connection did not arrive\n");
        return 3;
    }

    const fs::path folder = programFolder();
    const std::wstring expected[] = {(folder / "openssl.cnf").wstring(), (folder / "ossl-modules").wstring(),
                                     (folder / "engines-3").wstring(), L"1"};
    // The process's environment, and the C run time's copy of it.
    for (int k = 0; k < 4; ++k) {
        const std::wstring value = variable(kVariables[k]);
        const wchar_t *copy = _wgetenv(wide(kVariables[k]).c_str());
        std::printf("openssl_conf_test: %s=%s\n", kVariables[k], utf8(fs::path(value)).c_str());
        if (value != expected[k] || !copy || copy != expected[k]) {
            std::fprintf(stderr, "openssl_conf_test: %s should be %s\n", kVariables[k],
                         utf8(fs::path(expected[k])).c_str());
            code = 4;
        }
    }
    return code;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--bare-client") == 0)
        return bareClient();
    if (argc == 2 && std::strcmp(argv[1], "--publish") == 0)
        return publishUntilConnected();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
