#pragma once
// An in-process clipboard for tests. Tests "copy" typed items into it as
// another program would; writes through the Pasteboard interface replace the
// items the same way. Reads run at once on the calling thread unless the
// test holds them (as a worker thread would) or makes the owner stop
// answering.

#include "Platform/Desktop/Pasteboard.h"

#include <QPointer>

#include <deque>
#include <string>
#include <vector>

class FakePasteboard final : public Pasteboard {
public:
    struct Item {
        std::string type;
        std::string data;
    };

    /// The plain-text type the fake writes and `copyText` offers.
    static constexpr std::string_view textType = "text/plain;charset=utf-8";

    /// Replaces the contents as a copy in another program does.
    void copy(std::vector<Item> items);
    void copyText(const std::string& text) { copy({{std::string(textType), text}}); }
    /// Another program's copy with the contents left alone (a program that
    /// takes the clipboard with what it already held).
    void bumpChangeCount() { ++m_changeCount; }

    /// Whether the owner says which types it offers (default true).
    void setReportsTypes(bool reports) { m_reportsTypes = reports; }
    /// An owner that never answers: every read times out.
    void setUnresponsive(bool unresponsive) { m_unresponsive = unresponsive; }
    /// Holds read jobs until finishReads() runs them, one after another,
    /// against the contents as they are then.
    void setHoldsReads(bool holds) { m_holdsReads = holds; }
    void finishReads();
    std::size_t heldReads() const { return m_held.size(); }

    /// How many read jobs ran, and how many data requests they made.
    int readCount() const { return m_readCount; }
    int dataRequestCount() const { return m_dataRequests; }

    const std::vector<Item>& items() const { return m_items; }
    /// The bytes of `type`, when on offer.
    std::optional<std::string> itemData(std::string_view type) const;

    bool isAvailable() const override { return true; }
    std::int64_t changeCount() const override { return m_changeCount; }
    void read(QObject* context, Duration timeout, ReadJob job, ReadDone done) override;

    void clearContents() override;
    void writeString(const std::string& text) override;
    void writeFileURLs(const std::vector<std::filesystem::path>& paths) override;
    void writeImage(const QImage& image) override;

private:
    struct HeldRead {
        QPointer<QObject> context;
        ReadJob job;
        ReadDone done;
    };
    void run(HeldRead read);

    std::vector<Item> m_items;
    std::int64_t m_changeCount = 0;
    bool m_reportsTypes = true;
    bool m_unresponsive = false;
    bool m_holdsReads = false;
    int m_readCount = 0;
    int m_dataRequests = 0;
    std::deque<HeldRead> m_held;
};
