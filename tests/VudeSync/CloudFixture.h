#pragma once
// Installs of the app, each with its own store and install id, sharing one
// temporary cloud folder, all on one manual clock and scheduler.

#include "Platform/Cloud/FolderCloudDatabase.h"
#include "VudeSync/CloudMirror.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

inline constexpr const char* kCloudContainer = "iCloud.app.ruvudav.notch";

struct Install {
    std::string installID;
    std::unique_ptr<ModelContainer> container;
    std::shared_ptr<FolderCloudDatabase> cloud;
    std::unique_ptr<CloudMirror> mirror;

    /// A fresh context's rows of one model.
    template <typename Model>
    std::vector<std::shared_ptr<Model>> rows() const
    {
        auto fetched = container->makeContext()->fetchAll<Model>();
        EXPECT_TRUE(fetched.has_value());
        return fetched ? *fetched : std::vector<std::shared_ptr<Model>>{};
    }

    /// Inserts rows through a context and saves.
    template <typename Model>
    void insert(const std::vector<std::shared_ptr<Model>>& models) const
    {
        auto context = container->makeContext();
        for (const auto& model : models)
            context->insert(model);
        ASSERT_TRUE(context->save().has_value());
    }

    /// One pass of the mirror, which must succeed.
    CloudMirror::PassResult sync() const
    {
        auto result = mirror->synchronize();
        EXPECT_TRUE(result.has_value()) << (result ? "" : result.error().description);
        return result ? *result : CloudMirror::PassResult{};
    }
};

class CloudFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path base() const { return m_root.path().toStdString(); }
    std::filesystem::path cloudFolder() const { return base() / "Cloud"; }
    std::filesystem::path containerFolder() const { return cloudFolder() / kCloudContainer; }

    /// Opens (or reopens) the install named `name`: its store lives in its own
    /// folder, its id is fixed by the name.
    Install& open(const std::string& name, FolderCloudDatabase::Options options = {});
    void close(const std::string& name);
    static std::string installIDFor(const std::string& name);

    bool traced(const std::string& fragment) const;

    QTemporaryDir m_root;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    std::map<std::string, Install> installs;
    std::vector<std::string> traces;
    std::vector<CloudMirrorEvent> events;
    QObject m_eventContext;
};
