#pragma once
// Shows a file to the user in their file manager.
//   FileManagerRevealer     org.freedesktop.FileManager1.ShowItems on the
//                           session bus; when no file manager answers, the
//                           file's folder is opened instead
//   RecordingFileRevealer   remembers what it was asked to show (tests)

#include "Platform/Shell/UrlOpener.h"

#include <QDBusConnection>
#include <QObject>

#include <filesystem>
#include <memory>
#include <vector>

class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const std::filesystem::path& file) = 0;
};

class FileManagerRevealer final : public FileRevealer {
public:
    static constexpr const char* kService = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";
    static constexpr const char* kInterface = "org.freedesktop.FileManager1";

    /// `fallback` must outlive the revealer.
    FileManagerRevealer(QDBusConnection bus, UrlOpener& fallback);
    ~FileManagerRevealer() override;

    /// Asks without waiting; the folder opens once the call fails.
    void reveal(const std::filesystem::path& file) override;

private:
    QDBusConnection m_bus;
    UrlOpener& m_fallback;
    std::unique_ptr<QObject> m_calls = std::make_unique<QObject>();
};

class RecordingFileRevealer final : public FileRevealer {
public:
    void reveal(const std::filesystem::path& file) override { revealed.push_back(file); }
    std::vector<std::filesystem::path> revealed;
};
