// A list double that keeps its items in descending order of their first
// column, as the real list does, so a cell written through anything but the
// index InsertItem returned lands on the wrong row.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "connection/connection_refresh.h"

struct DescendingList final : ConnectionListSink {
    using Item = std::array<std::string, 5>;
    std::vector<Item> items;
    int deleteAllCalls = 0;

    void DeleteAllItems() override {
        items.clear();
        ++deleteAllCalls;
    }
    int InsertItem(const std::string& text) override {
        const auto at = std::find_if(items.begin(), items.end(), [&](const Item& i) { return i[0] < text; });
        const auto placed = items.insert(at, Item{text, "", "", "", ""});
        return static_cast<int>(placed - items.begin());
    }
    void SetItemText(int index, int column, const std::string& text) override {
        items.at(static_cast<std::size_t>(index)).at(static_cast<std::size_t>(column)) = text;
    }
};
