// The program's list sink against the platform's own sorted list view.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/list_view_sink.h"

namespace {

struct ListViewWindow {
    HWND hwnd;
    explicit ListViewWindow(DWORD extraStyle) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        hwnd = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT | extraStyle, 0, 0, 400, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 100;
        for (int i = 0; i < 5; ++i) SendMessageA(hwnd, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    ListViewWindow(const ListViewWindow&) = delete;
    ListViewWindow& operator=(const ListViewWindow&) = delete;
    ~ListViewWindow() { DestroyWindow(hwnd); }

    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        const int n = ListView_GetItemCount(hwnd);
        for (int i = 0; i < n; ++i) texts.push_back(ListViewItemText(hwnd, i, column));
        return texts;
    }
};

TEST(ListViewSink, InsertReturnsTheSortedIndex) {
    ListViewWindow list(0);
    ListViewSink sink(list.hwnd);
    sink.DeleteAllItems();
    EXPECT_EQ(sink.InsertItem("192.168.1.5"), 0);
    EXPECT_EQ(sink.InsertItem("10.0.0.1"), 1);
    EXPECT_EQ(sink.InsertItem("127.0.0.1"), 1);
    // Through the index the last insert returned, and through indexes that
    // earlier rows have now.
    sink.SetItemText(1, 4, "LISTEN");
    sink.SetItemText(0, 4, "ESTAB");
    sink.SetItemText(2, 1, "80");
    sink.SetItemText(3, 1, "out of range");
    sink.Commit();
    EXPECT_EQ(list.Column(0), (std::vector<std::string>{"192.168.1.5", "127.0.0.1", "10.0.0.1"}));
    EXPECT_EQ(list.Column(1), (std::vector<std::string>{"", "", "80"}));
    EXPECT_EQ(list.Column(4), (std::vector<std::string>{"ESTAB", "LISTEN", ""}));
}

// The same rows through the platform's sorted style and through the sink
// give the same top-to-bottom sequence of column-0 texts.
TEST(ListViewSink, MatchesThePlatformsDescendingSort) {
    std::vector<std::string> texts = {"9.9.9.9",  "192.168.1.5", "10.0.0.10", "10.0.0.1", "127.0.0.1",
                                      "0.0.0.0",  "127.0.0.2",   "10.0.0.1",  "1.2.3.4",  "100.0.0.1",
                                      "0.0.0.0",  "255.255.255.255", "10.0.0.100", "2.0.0.0", "127.0.0.1"};
    for (unsigned i = 0; i < 300; ++i) {  // a larger, repeatable mix
        const unsigned v = i * 2654435761u;
        texts.push_back(std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255) + "." +
                        std::to_string((v >> 8) & 15) + "." + std::to_string(v & 7));
    }
    ListViewWindow platform(LVS_SORTDESCENDING);
    for (const std::string& t : texts) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = ListView_GetItemCount(platform.hwnd);
        item.pszText = const_cast<char*>(t.c_str());
        SendMessageA(platform.hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    ListViewWindow ours(0);
    {
        ListViewSink sink(ours.hwnd);
        sink.DeleteAllItems();
        for (const std::string& t : texts) sink.InsertItem(t);
    }
    EXPECT_EQ(ours.Column(0), platform.Column(0));
}

}  // namespace
