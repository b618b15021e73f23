// The connection list view as the refresh's ConnectionListSink.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include "connection/connection_refresh.h"

// Rows are kept in descending text order of column 0, the newest first among
// equal texts. The list view has no sort style: a sorted style places each
// insert by a linear search (quadratic over a refresh), so the rows are
// ordered here, by an order-statistics tree that answers each insert's index
// in logarithmic time, and appended to the control in that order at Commit.
// Redraw is off from construction to Commit, so the list repaints once.
class ListViewSink final : public ConnectionListSink {
public:
    explicit ListViewSink(HWND listView);  // not owned
    ListViewSink(const ListViewSink&) = delete;
    ListViewSink& operator=(const ListViewSink&) = delete;
    ~ListViewSink();

    void DeleteAllItems() override;
    int InsertItem(const std::string& text) override;
    void SetItemText(int index, int column, const std::string& text) override;

    // Writes the rows into the control and turns redraw back on.
    void Commit();

private:
    struct Key {
        std::string text;
        std::uint32_t sequence;  // insertion order, to keep equal texts apart
    };
    struct DescendingOrder {
        bool operator()(const Key& a, const Key& b) const {
            const int c = a.text.compare(b.text);
            return c != 0 ? c > 0 : a.sequence > b.sequence;
        }
    };
    using SubItems = std::array<std::string, 4>;  // columns 1 to 4
    using Rows = __gnu_pbds::tree<Key, SubItems, DescendingOrder, __gnu_pbds::rb_tree_tag,
                                  __gnu_pbds::tree_order_statistics_node_update>;

    HWND listView_;
    Rows rows_;
    std::uint32_t inserted_ = 0;
    bool committed_ = false;
};

// The text of one cell of a list view item.
std::string ListViewItemText(HWND listView, int item, int column);
