#include "Platform/Audio/CanberraSoundPlayer.h"

#include "Platform/Core/AppResources.h"

#include <canberra.h>
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <system_error>

namespace {

// The library is loaded on the first sound, not with the app: most runs
// never play one, and a system without it simply stays silent.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_open) open = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;

    bool isLoaded() const { return create && changeProps && open && play && destroy; }

    static const Canberra& library()
    {
        static const Canberra loaded = [] {
            Canberra library;
            // Kept loaded for the life of the process.
            void* handle = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
            if (!handle)
                return library;
            library.create = reinterpret_cast<decltype(create)>(dlsym(handle, "ca_context_create"));
            library.changeProps = reinterpret_cast<decltype(changeProps)>(dlsym(handle, "ca_context_change_props"));
            library.open = reinterpret_cast<decltype(open)>(dlsym(handle, "ca_context_open"));
            library.play = reinterpret_cast<decltype(play)>(dlsym(handle, "ca_context_play"));
            library.destroy = reinterpret_cast<decltype(destroy)>(dlsym(handle, "ca_context_destroy"));
            return library;
        }();
        return loaded;
    }
};

} // namespace

CanberraSoundPlayer::CanberraSoundPlayer(std::filesystem::path folder) : m_folder(std::move(folder)) {}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    m_queue.async([this] { dropContext(); });
    m_queue.waitUntilIdle();
}

std::filesystem::path CanberraSoundPlayer::defaultFolder()
{
    return AppResources::resource("sounds").value_or(std::filesystem::path());
}

std::optional<std::filesystem::path> CanberraSoundPlayer::fileFor(const std::filesystem::path& folder,
                                                                  std::string_view name)
{
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
    if (!plain || folder.empty())
        return std::nullopt;
    return folder / (std::string(name) + kFileExtension);
}

void CanberraSoundPlayer::play(std::string_view name)
{
    const auto file = fileFor(m_folder, name);
    std::error_code error;
    if (!file || !std::filesystem::is_regular_file(*file, error)) {
        ++m_failed;
        return;
    }
    m_queue.async([this, path = file->string(), event = std::string(name)] {
        // A context made before the sound server last restarted fails: try
        // once more on a fresh one.
        for (int attempt = 0; attempt < 2; ++attempt) {
            ca_context* context = this->context();
            if (!context)
                break;
            if (Canberra::library().play(context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(), CA_PROP_EVENT_ID, event.c_str(),
                                CA_PROP_MEDIA_ROLE, "event", nullptr) == CA_SUCCESS) {
                ++m_played;
                return;
            }
            dropContext();
        }
        ++m_failed;
    });
}

ca_context* CanberraSoundPlayer::context()
{
    if (m_context)
        return m_context;
    const Canberra& canberra = Canberra::library();
    if (!canberra.isLoaded())
        return nullptr;
    ca_context* context = nullptr;
    if (canberra.create(&context) != CA_SUCCESS)
        return nullptr;
    canberra.changeProps(context, CA_PROP_APPLICATION_NAME, "Vude", CA_PROP_APPLICATION_ID, "app.ruvudav.notch",
                         nullptr);
    if (canberra.open(context) != CA_SUCCESS) {
        canberra.destroy(context);
        return nullptr;
    }
    m_context = context;
    return m_context;
}

void CanberraSoundPlayer::dropContext()
{
    if (m_context)
        Canberra::library().destroy(m_context);
    m_context = nullptr;
}
