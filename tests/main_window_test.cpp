// The real window, driven with real messages, over a table the test controls.
#include "ui/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tcp_table_builder.h"
#include "ui/list_view_sink.h"

namespace {

const std::vector<TableRowBytes> kRows = {
    {2, {0, 0, 0, 0}, 135, {0, 0, 0, 0}, 0},
    {5, {127, 0, 0, 1}, 5432, {127, 0, 0, 2}, 40001},
    {5, {127, 0, 0, 2}, 40001, {127, 0, 0, 1}, 5432},
    {5, {192, 168, 1, 5}, 22, {10, 0, 0, 9}, 50000},
};

struct TableSource {
    std::vector<std::uint8_t> table = BuildTcpTable(kRows);
    bool failRead = false;
    TcpTableFunction Function() {
        return [this](void* buffer, std::uint32_t* size, bool) -> std::uint32_t {
            const bool fits = *size >= table.size();
            *size = static_cast<std::uint32_t>(table.size());
            if (!fits) return kStatusInsufficientBuffer;
            if (failRead) return 31;
            std::memcpy(buffer, table.data(), table.size());
            return 0;
        };
    }
};

RECT ChildRect(HWND window, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(window, id), &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE Outer(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

void Click(HWND window, int id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void ClickCheckBox(HWND window, int id) {
    SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);  // toggles, then notifies the window
}

// Pumps messages until WM_QUIT; its status, or -2 if none comes in time.
int QuitStatus() {
    const DWORD until = GetTickCount() + 5000;
    MSG m;
    while (GetTickCount() < until) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) return static_cast<int>(m.wParam);
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(5);
    }
    return -2;
}

class MainWindowTest : public ::testing::Test {
protected:
    TableSource source;
    std::string openedUrl;
    HWND window = nullptr;

    void SetUp() override {
        MainWindowOptions options;
        options.tcpTable = source.Function();
        options.openUrl = [this](const std::string& url) { openedUrl = url; };
        window = CreateMainWindow(GetModuleHandleA(nullptr), options);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window)) {
            DestroyWindow(window);
            QuitStatus();
        }
    }
    HWND List() const { return GetDlgItem(window, 列表框); }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) texts.push_back(ListViewItemText(List(), i, column));
        return texts;
    }
};

TEST_F(MainWindowTest, StartsCentredFilledAndLaidOut) {
    EXPECT_EQ(Outer(window).cx, 427);
    EXPECT_EQ(Outer(window).cy, 260);
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 427) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 249) / 2);
    const struct { int id; RECT rect; } expected[] = {
        {列表框, {0, 0, 420, 180}},     {选择框2, {10, 190, 78, 202}}, {选择框1, {10, 205, 98, 217}},
        {选择框3, {100, 193, 276, 205}}, {刷新, {297, 193, 353, 217}},  {退出, {357, 193, 413, 217}},
        {超级链接框1, {97, 204, 249, 216}},
    };
    for (const auto& e : expected) {
        const RECT got = ChildRect(window, e.id);
        EXPECT_TRUE(EqualRect(&got, &e.rect)) << e.id << ": " << got.left << "," << got.top << " " << got.right << ","
                                              << got.bottom;
    }
    EXPECT_EQ(Column(0), (std::vector<std::string>{"192.168.1.5", "127.0.0.2", "127.0.0.1", "0.0.0.0"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"50000", "5432", "40001", "0"}));
    for (int id : {选择框1, 选择框2, 选择框3}) EXPECT_EQ(IsDlgButtonChecked(window, id), BST_UNCHECKED) << id;
    EXPECT_FALSE(KillTimer(window, 时钟1));  // the timer starts stopped
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(MainWindowTest, TitleAndCaptionsAreCodePage936) {
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Orvanta-Brimlow\xD6\xC6\xD7\xF7");
    char caption[64] = {};
    GetDlgItemTextA(window, 刷新, caption, sizeof caption);
    EXPECT_STREQ(caption, "\xCB\xA2\xD0\xC2");
    LVCOLUMNA column{};
    char text[32] = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    SendMessageA(List(), LVM_GETCOLUMNA, 4, reinterpret_cast<LPARAM>(&column));
    EXPECT_STREQ(text, "\xD7\xB4\xCC\xAC");
    EXPECT_EQ(column.cx, 60);
}

TEST_F(MainWindowTest, SizeRuleAndLayout) {
    const struct { int width, height, expectWidth, expectHeight; } cases[] = {
        {300, 200, 420, 260}, {419, 500, 420, 500}, {700, 259, 700, 260}, {800, 600, 800, 600},
    };
    for (const auto& c : cases) {
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const SIZE s = Outer(window);
        EXPECT_EQ(s.cx, c.expectWidth) << c.width << "x" << c.height;
        EXPECT_EQ(s.cy, c.expectHeight) << c.width << "x" << c.height;
        const RECT list = ChildRect(window, 列表框);
        EXPECT_EQ(list.right, s.cx - 7);
        EXPECT_EQ(list.bottom, s.cy - 80);
        EXPECT_EQ(ChildRect(window, 退出).left, s.cx - 70);
        EXPECT_EQ(ChildRect(window, 刷新).top, s.cy - 67);
        EXPECT_EQ(ChildRect(window, 选择框1).top, s.cy - 55);
        EXPECT_EQ(ChildRect(window, 超级链接框1).left, 97);
        EXPECT_EQ(ChildRect(window, 超级链接框1).top, 204);
    }
    ShowWindow(window, SW_MAXIMIZE);
    const SIZE s = Outer(window);
    EXPECT_EQ(ChildRect(window, 列表框).right, s.cx - 7);
    EXPECT_EQ(ChildRect(window, 刷新).left, s.cx - 130);
    ShowWindow(window, SW_RESTORE);
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(Outer(window).cx, 800);  // the size from before maximising comes back
    EXPECT_EQ(Outer(window).cy, 600);
}

TEST_F(MainWindowTest, FilterRefreshAndFailure) {
    ClickCheckBox(window, 选择框3);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"192.168.1.5", "127.0.0.2"}));
    ClickCheckBox(window, 选择框3);
    EXPECT_EQ(Column(0).size(), 4u);
    source.failRead = true;
    Click(window, 刷新);
    EXPECT_EQ(ListView_GetItemCount(List()), 0);
    source.failRead = false;
    source.table = BuildTcpTable({kRows[3]});
    Click(window, 刷新);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"192.168.1.5"}));
}

TEST_F(MainWindowTest, TimerTopmostAndLink) {
    ClickCheckBox(window, 选择框1);
    EXPECT_TRUE(KillTimer(window, 时钟1));  // running after the check
    SetTimer(window, 时钟1, kRefreshPeriodMs, nullptr);
    ClickCheckBox(window, 选择框1);
    EXPECT_FALSE(KillTimer(window, 时钟1));  // stopped after the uncheck
    source.table = BuildTcpTable({});
    SendMessageA(window, WM_TIMER, 时钟1, 0);  // a tick refreshes
    EXPECT_EQ(ListView_GetItemCount(List()), 0);

    RECT before;
    GetWindowRect(window, &before);
    ClickCheckBox(window, 选择框2);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ClickCheckBox(window, 选择框2);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    SendMessageA(window, WM_COMMAND, MAKEWPARAM(超级链接框1, STN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, 超级链接框1)));
    EXPECT_EQ(openedUrl, "https://orvanta.example/");
    // The whole caption fits the label in its font.
    const HWND label = GetDlgItem(window, 超级链接框1);
    char caption[128] = {};
    GetWindowTextA(label, caption, sizeof caption);
    const HDC dc = GetDC(label);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    EXPECT_LE(extent.cx, 152) << caption;
    EXPECT_LE(extent.cy, 12 + 2);
}

TEST_F(MainWindowTest, ExitPathsEndWithStatusZero) {
    Click(window, 退出);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(QuitStatus(), 0);
}

TEST_F(MainWindowTest, EscapeClosesWhereverTheFocusIs) {
    ShowWindow(window, SW_SHOW);
    SetFocus(GetDlgItem(window, 选择框3));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(RunMessageLoop(window), 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindowTest, CloseBoxEndsWithStatusZero) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(RunMessageLoop(window), 0);
}

TEST(VersionBlock, ReadBackWithTheVersionApi) {
    const char* exe = ORVANTA_EXE;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe, &handle);
    ASSERT_GT(size, 0u) << exe;
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    const struct { const char* name; const char* value; } strings[] = {
        {"ProductName", "Orvanta"},
        {"FileDescription", "Brimlow\xD6\xC6\xD7\xF7"},
        {"FileVersion", "1.0.0.0"},
        {"ProductVersion", "1.0.0.0"},
    };
    for (const auto& s : strings) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\080403a8\\") + s.name;
        ASSERT_TRUE(VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << s.name;
        EXPECT_STREQ(value, s.value) << s.name;
    }
}

}  // namespace
