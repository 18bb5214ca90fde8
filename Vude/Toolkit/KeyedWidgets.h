#pragma once
// Child widgets kept by the identity of what they show. A refresh hands
// over the keys in their new order: a key seen before keeps its widget, so
// its hover, focus, running marks and other local state survive (and it is
// only told the new values); a new key gets a new widget; a key no longer
// present has its widget deleted. Lists that repeat a key show it once, at
// its first place.
//
// A widget that leaves is hidden at once and deleted from the event loop
// (deleteLater): the refresh may well come from a click on that very widget
// (a row's own remove button), which must be allowed to return first.
//
// Key needs == and std::hash. The parent owns the widgets, as Qt parents do;
// a widget deleted behind our back is made anew at the next refresh.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

template <typename Key, typename Widget = QWidget>
class KeyedWidgets {
public:
    /// Makes the widget for a key seen for the first time, as a child of the
    /// parent it is given.
    using Make = std::function<Widget*(const Key& key, QWidget* parent)>;

    /// `parent` must outlive this.
    explicit KeyedWidgets(QWidget& parent) : m_parent(parent) {}
    ~KeyedWidgets() { clear(); }
    KeyedWidgets(const KeyedWidgets&) = delete;
    KeyedWidgets& operator=(const KeyedWidgets&) = delete;

    /// The widgets for `keys`, in their order.
    std::vector<Widget*> reconcile(const std::vector<Key>& keys, const Make& make)
    {
        std::unordered_map<Key, QPointer<Widget>> kept;
        std::vector<Key> order;
        std::vector<Widget*> ordered;
        ordered.reserve(keys.size());
        for (const Key& key : keys) {
            if (kept.contains(key))
                continue;
            QPointer<Widget> widget;
            if (auto found = m_widgets.find(key); found != m_widgets.end()) {
                widget = found->second;
                m_widgets.erase(found);
            }
            if (!widget)
                widget = make(key, &m_parent);
            if (!widget)
                continue;
            kept.emplace(key, widget);
            order.push_back(key);
            ordered.push_back(widget.data());
        }
        clear(); // what is left was not asked for again
        m_widgets = std::move(kept);
        m_order = std::move(order);
        return ordered;
    }

    /// The widget shown for `key`, if any.
    Widget* find(const Key& key) const
    {
        const auto found = m_widgets.find(key);
        return found == m_widgets.end() ? nullptr : found->second.data();
    }

    /// The keys shown, in order.
    const std::vector<Key>& keys() const { return m_order; }
    /// The widgets shown, in order.
    std::vector<Widget*> widgets() const
    {
        std::vector<Widget*> shown;
        for (const Key& key : m_order)
            if (Widget* widget = find(key))
                shown.push_back(widget);
        return shown;
    }
    std::size_t size() const { return m_widgets.size(); }

    /// Lets every widget go.
    void clear()
    {
        for (auto& [key, widget] : m_widgets) {
            if (!widget)
                continue;
            widget->hide();
            widget->deleteLater();
        }
        m_widgets.clear();
        m_order.clear();
    }

private:
    QWidget& m_parent;
    std::unordered_map<Key, QPointer<Widget>> m_widgets;
    std::vector<Key> m_order;
};
