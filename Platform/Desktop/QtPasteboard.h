#pragma once
// The desktop's clipboard (the CLIPBOARD selection, not the primary one)
// through Qt: the change count is our own counter, moved by QClipboard's
// change signal, and writes go through QClipboard.
//
// Reads do not: QClipboard reads wait on the owner on the GUI thread, for
// seconds when it never answers. On X11 reads run on a worker thread of
// their own ("app.ruvudav.notch.pasteboard") with an X connection of their
// own; elsewhere (Wayland, the offscreen platform) QClipboard is read on the
// main thread, where Qt bounds the wait.

#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/Pasteboard.h"

#include <QClipboard>
#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

class XcbSelectionReader;

class QtPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    /// Watches and writes `clipboard`. With `x11Display` (":1") reads go to
    /// that X server on the worker; without, through `clipboard`. Main thread.
    explicit QtPasteboard(QClipboard* clipboard, std::string x11Display = {});
    /// The application's clipboard, read over X11 ($DISPLAY) when Qt runs
    /// on X11.
    static std::unique_ptr<QtPasteboard> forApplication();
    ~QtPasteboard() override;

    bool isAvailable() const override { return m_clipboard != nullptr; }
    std::int64_t changeCount() const override { return m_changeCount; }
    void read(QObject* context, Duration timeout, ReadJob job, ReadDone done) override;

    void clearContents() override;
    void writeString(const std::string& text) override;
    void writeFileURLs(const std::vector<std::filesystem::path>& paths) override;
    void writeImage(const QImage& image) override;

private:
    void readOnMainThread(QObject* context, ReadJob job, ReadDone done);

    QPointer<QClipboard> m_clipboard;
    std::string m_x11Display;
    std::int64_t m_changeCount = 0;
    // Touched only on the worker; made there on first use.
    std::shared_ptr<std::unique_ptr<XcbSelectionReader>> m_selectionReader;
    // Last, so it is joined before anything its work uses goes away.
    std::unique_ptr<SerialQueue> m_queue;
};
