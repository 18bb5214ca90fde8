#pragma once
// A scrolling column of rows, one per item, each kept by its item's id
// (KeyedWidgets): a refresh moves, updates, adds and deletes rows, never
// rebuilds the ones that stay, so a hovered row stays hovered and a
// "Copied" mark keeps running. The list takes every wheel event over it
// (ScrollArea).
//
//     KeyedRowList<Uuid, ClipRow> list;
//     list.setItems(clips, [](const NotchClip& clip) { return clip.id; },
//                   [&](const NotchClip& clip, QWidget* parent) { return new ClipRow(environment, parent); },
//                   [](ClipRow& row, const NotchClip& clip) { row.setClip(clip); });

#include "Vude/Toolkit/KeyedWidgets.h"
#include "Vude/Toolkit/ScrollArea.h"

#include <QVBoxLayout>

#include <cmath>
#include <functional>
#include <vector>

template <typename Key, typename Row>
class KeyedRowList final : public ScrollArea {
public:
    explicit KeyedRowList(QWidget* parent = nullptr) : ScrollArea(parent), m_column(new QWidget), m_rows(*m_column)
    {
        m_column->setAutoFillBackground(false);
        m_layout = new QVBoxLayout(m_column);
        m_layout->setContentsMargins(0, 0, 0, 0);
        m_layout->setSpacing(0);
        m_layout->addStretch(1);
        setWidget(m_column);
    }

    /// Points between rows.
    void setSpacing(double spacing) { m_layout->setSpacing(int(std::lround(spacing))); }

    /// One row per item, in the items' order. `make` builds the row of an id
    /// seen for the first time; `update` hands every shown row its item,
    /// the new ones included.
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
        const std::vector<Row*> rows = m_rows.reconcile(keys, [&](const Key& key, QWidget* parent) -> Row* {
            return make(*byKey.at(key), parent);
        });
        // Laid out again in the new order, behind the closing stretch.
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
    QWidget* m_column;
    QVBoxLayout* m_layout = nullptr;
    KeyedWidgets<Key, Row> m_rows;
};
