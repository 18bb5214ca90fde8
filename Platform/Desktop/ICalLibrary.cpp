#include "Platform/Desktop/ICalLibrary.h"

#include <dlfcn.h>

ICalLibrary ICalLibrary::load(const char* fileName)
{
    ICalLibrary library;
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // dlerror() is the calling thread's own.
        const char* why = dlerror();
        library.problem = "cannot load the iCalendar library: " + std::string(why ? why : fileName);
        return library;
    }
#define VUDE_ICAL_LOOK_UP(name)                                                                                        \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "ical" #name));                              \
    if (!library.name) {                                                                                               \
        const char* symbol = "ical" #name;                                                                             \
        dlclose(handle);                                                                                               \
        library = ICalLibrary();                                                                                       \
        library.problem = std::string("the iCalendar library ") + fileName + " has no " + symbol;                      \
        return library;                                                                                                \
    }
    VUDE_ICAL_FUNCTIONS(VUDE_ICAL_LOOK_UP)
#undef VUDE_ICAL_LOOK_UP
    // A parse error must never abort the process.
    library.error_set_errors_are_fatal(0);
    return library;
}

const ICalLibrary& ICalLibrary::shared()
{
    // Calendars are read on a worker thread: the first read loads it once.
    static const ICalLibrary library = load(kFileName);
    return library;
}
