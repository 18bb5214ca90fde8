#include "Platform/Audio/CanberraSoundPlayer.h"

#include "Platform/Core/AppResources.h"

#include <canberra.h>

#include <algorithm>
#include <cctype>
#include <system_error>

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
            if (ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, path.c_str(), CA_PROP_EVENT_ID, event.c_str(),
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
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return nullptr;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Vude", CA_PROP_APPLICATION_ID, "app.ruvudav.notch",
                            nullptr);
    if (ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return nullptr;
    }
    m_context = context;
    return m_context;
}

void CanberraSoundPlayer::dropContext()
{
    if (m_context)
        ca_context_destroy(m_context);
    m_context = nullptr;
}
