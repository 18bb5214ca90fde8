#include "Platform/Core/LoadableModule.h"

#include "Platform/Core/AppResources.h"

#include <dlfcn.h>
#include <mutex>
#include <system_error>

namespace LoadableModule {

Expected<void*, std::string> symbolIn(const std::filesystem::path& file, const char* symbol)
{
    // dlerror() reports the calling thread's last failure; one lock keeps the
    // open and its message together for the text.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return unexpected("the module " + file.string() + " is missing; reinstall Vude");
    // RTLD_LOCAL: the module's libraries stay out of the app's own lookups.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        return unexpected("cannot load the module " + file.string() + ": " + (why ? why : "unknown error"));
    }
    ::dlerror();
    void* address = ::dlsym(handle, symbol);
    if (!address)
        return unexpected("the module " + file.string() + " has no " + symbol);
    return address;
}

Expected<void*, std::string> symbol(std::string_view name, const char* symbol)
{
    const auto file = AppResources::module(name);
    if (!file)
        return unexpected("no module named " + std::string(name));
    return symbolIn(*file, symbol);
}

} // namespace LoadableModule
