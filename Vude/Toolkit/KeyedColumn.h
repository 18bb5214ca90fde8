#pragma once
// A column of rows kept by their item's id (KeyedWidgets), for lists that
// sit inside a larger scrolling view (a settings card): a refresh moves,
// updates, adds and deletes rows and never rebuilds the ones that stay. A
// row whose own button removed or moved it is still the same widget after
// the refresh, or it is hidden and deleted from the event loop, never inside
// its own clicked(). KeyedRowList is the scrolling variant.
//
//     KeyedColumn<Uuid, AppRow> rows;
//     rows.setItems(apps, [](const QuickApp& app) { return app.id; },
//                   [&](const QuickApp& app, QWidget* parent) { return new AppRow(parent); },
//                   [](AppRow& row, const QuickApp& app) { row.show(app); });

#include "Vude/Toolkit/KeyedWidgets.h"

#include <QVBoxLayout>

#include <unordered_map>
#include <vector>

template <typename Key, typename Row>
class KeyedColumn final : public QWidget {
public:
    explicit KeyedColumn(QWidget* parent = nullptr) : QWidget(parent), m_rows(*this)
    {
        m_layout = new QVBoxLayout(this);
        m_layout->setContentsMargins(0, 0, 0, 0);
        m_layout->setSpacing(0);
    }

    /// One row per item, in the items' order. `make` builds the row of an id
    /// seen for the first time; `update` hands every shown row its item.
    template <typename Item, typename KeyOf, typename Make, typename Update>
    void setItems(const std::vector<Item>& items, KeyOf keyOf, Make make, Update update)
    {
        std::vector<Key> keys;
        keys.reserve(items.size());
        std::unordered_map<Key, const Item*> byKey;
        for (const Item& item : items) {
            const Key key = keyOf(item);
            keys.push_back(key);
            byKey.try_emplace(key, &item);
        }
        const std::vector<Row*> rows = m_rows.reconcile(
            keys, [&](const Key& key, QWidget* parent) -> Row* { return make(*byKey.at(key), parent); });
        for (Row* row : rows)
            m_layout->removeWidget(row);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            m_layout->insertWidget(int(i), rows[i]);
            update(*rows[i], *byKey.at(m_rows.keys()[i]));
            rows[i]->show();
        }
    }

    Row* row(const Key& key) const { return m_rows.find(key); }
    std::vector<Row*> rows() const { return m_rows.widgets(); }
    const std::vector<Key>& keys() const { return m_rows.keys(); }

private:
    QVBoxLayout* m_layout = nullptr;
    KeyedWidgets<Key, Row> m_rows;
};
