#include "CloudFixture.h"

#include "Platform/Core/NotificationCenter.h"

#include <QVariant>

void CloudFixture::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    std::filesystem::create_directories(cloudFolder());
    NotificationCenter::defaultCenter().addObserver(CloudMirror::eventChangedNotification, &m_eventContext,
                                                    [this](const Notification& notification) {
                                                        events.push_back(notification.userInfo.value(CloudMirror::eventKey)
                                                                             .value<CloudMirrorEvent>());
                                                    });
}

void CloudFixture::TearDown()
{
    // Mirrors before their containers.
    for (auto& [name, install] : installs)
        install.mirror.reset();
    installs.clear();
}

std::string CloudFixture::installIDFor(const std::string& name)
{
    // A fixed id per name, ordered like the names.
    std::string id = "00000000-0000-4000-8000-000000000000";
    for (std::size_t i = 0; i < name.size() && i < 8; ++i)
        id[i] = "0123456789ABCDEF"[static_cast<unsigned char>(name[i]) % 16];
    return id;
}

Install& CloudFixture::open(const std::string& name, FolderCloudDatabase::Options options)
{
    close(name);
    auto& install = installs[name];
    install.installID = installIDFor(name);
    ModelConfiguration configuration;
    configuration.url = base() / name / "Vude.store";
    configuration.cloudContainerID = kCloudContainer;
    std::filesystem::create_directories(configuration.url.parent_path());
    auto opened = ModelContainer::open(configuration);
    EXPECT_TRUE(opened.has_value()) << (opened ? "" : opened.error());
    install.container = std::move(*opened);
    const auto trace = [this, name](const std::string& line) { traces.push_back(name + ": " + line); };
    install.cloud = std::make_shared<FolderCloudDatabase>(cloudFolder(), kCloudContainer, install.installID, scheduler,
                                                          clock, options, trace);
    auto mirror = CloudMirror::start(*install.container, install.cloud, scheduler, clock, {}, trace);
    EXPECT_TRUE(mirror.has_value()) << (mirror ? "" : mirror.error());
    install.mirror = std::move(*mirror);
    return install;
}

void CloudFixture::close(const std::string& name)
{
    const auto found = installs.find(name);
    if (found == installs.end())
        return;
    found->second.mirror.reset();
    installs.erase(found);
}

bool CloudFixture::traced(const std::string& fragment) const
{
    return std::any_of(traces.begin(), traces.end(),
                       [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
}
