#include "db/ClearTextRefusal.h"

#include <mysql.h>

#include <cstdarg>
#include <mutex>
#include <string>
#include <utility>

// The client library's plug-in interface. Its header cannot be included as installed (it includes a
// header the development package does not ship), so the few declarations used here are repeated;
// they are part of the library's stable plug-in ABI.
extern "C" {
struct st_mysql_client_plugin;
struct st_plugin_vio;
st_mysql_client_plugin* STDCALL mysql_client_register_plugin(MYSQL* mysql,
                                                             st_mysql_client_plugin* plugin);
}

namespace {

constexpr int kAuthenticationPluginType = 2;
constexpr unsigned int kAuthenticationInterfaceVersion = 0x0100;
constexpr int kAuthenticationError = 0;

struct AuthenticationPlugin {
    int type;
    unsigned int interfaceVersion;
    const char* name;
    const char* author;
    const char* description;
    unsigned int version[3];
    const char* license;
    void* mysqlApi;
    int (*init)(char*, size_t, int, va_list);
    int (*deinit)();
    int (*options)(const char* option, const void*);
    int (*authenticateUser)(st_plugin_vio* vio, MYSQL* mysql);
};

// A plain pointer to the method's constant name: a thread-local with a destructor would be
// destroyed at the thread's end, which with MinGW on Windows can come after its storage is freed.
thread_local const char* refusedMethod = nullptr;

template <const char* Name>
int refuse(st_plugin_vio*, MYSQL*) {
    refusedMethod = Name;
    return kAuthenticationError;  // nothing has been written to the server
}

constexpr char kClearPassword[] = "mysql_clear_password";
constexpr char kDialog[] = "dialog";

template <const char* Name>
AuthenticationPlugin standIn = {
    kAuthenticationPluginType,
    kAuthenticationInterfaceVersion,
    Name,
    "Vantrelle",
    "Refuses to send the password in clear",
    {1, 0, 0},
    "GPL",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &refuse<Name>,
};

constexpr const char* kSafeMethods =
    "mysql_native_password,caching_sha2_password,sha256_password,client_ed25519";

}  // namespace

const char* AllowedAuthenticationMethods() {
    static const char* allowed = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        // Registration needs the library started and fails when a plug-in of that name is
        // loaded already; then the method is simply not allowed, without a name for it.
        MYSQL* mysql = mysql_init(nullptr);
        bool registered = mysql != nullptr;
        for (auto* plugin : {&standIn<kClearPassword>, &standIn<kDialog>}) {
            registered = registered &&
                         mysql_client_register_plugin(
                             mysql, reinterpret_cast<st_mysql_client_plugin*>(plugin)) != nullptr;
        }
        if (mysql) mysql_close(mysql);
        static const std::string withStandIns =
            std::string(kSafeMethods) + ',' + kClearPassword + ',' + kDialog;
        allowed = registered ? withStandIns.c_str() : kSafeMethods;
    });
    return allowed;
}

QString TakeRefusedClearTextMethod() {
    const char* method = std::exchange(refusedMethod, nullptr);
    return method ? QString::fromLatin1(method) : QString();
}
