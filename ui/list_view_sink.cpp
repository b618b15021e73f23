#include "ui/list_view_sink.h"

#include <commctrl.h>

ListViewSink::ListViewSink(HWND listView) : listView_(listView) {
    SendMessageA(listView_, WM_SETREDRAW, FALSE, 0);
}

ListViewSink::~ListViewSink() {
    if (!committed_) Commit();
}

void ListViewSink::DeleteAllItems() {
    rows_.clear();
    inserted_ = 0;
    ListView_DeleteAllItems(listView_);
}

int ListViewSink::InsertItem(const std::string& text) {
    Key key{text, inserted_++};
    const int index = static_cast<int>(rows_.order_of_key(key));
    rows_.insert({std::move(key), SubItems{}});
    return index;
}

void ListViewSink::SetItemText(int index, int column, const std::string& text) {
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size() || column < 1 || column > 4) return;
    rows_.find_by_order(static_cast<std::size_t>(index))->second[static_cast<std::size_t>(column - 1)] = text;
}

void ListViewSink::Commit() {
    committed_ = true;
    ListView_SetItemCount(listView_, static_cast<int>(rows_.size()));
    int position = 0;
    for (const auto& [key, subItems] : rows_) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = position;
        item.pszText = const_cast<char*>(key.text.c_str());
        const int at = static_cast<int>(SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column <= 4; ++column) {
            LVITEMA cell{};
            cell.iSubItem = column;
            cell.pszText = const_cast<char*>(subItems[static_cast<std::size_t>(column - 1)].c_str());
            SendMessageA(listView_, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
        }
        ++position;
    }
    rows_.clear();
    SendMessageA(listView_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listView_, nullptr, TRUE);
}

std::string ListViewItemText(HWND listView, int item, int column) {
    char buffer[256] = {};
    LVITEMA cell{};
    cell.iSubItem = column;
    cell.pszText = buffer;
    cell.cchTextMax = sizeof buffer;
    SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
    return buffer;
}
