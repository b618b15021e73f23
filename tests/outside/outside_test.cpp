// The finished executable as a user and the system meet it: started under the
// real system, driven from this second process, fed by real loopback sockets.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/outside/loopback.h"
#include "tests/outside/remote_program.h"
#include "tests/outside/table_check.h"
#include "ui/main_window.h"

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kExitTimeoutMs = 10000;

struct ControlCaption {
    int id;
    const wchar_t* className;
    const wchar_t* caption;
};

constexpr ControlCaption kCaptions[] = {
    {选择框3, L"Button", L"过滤0.0.0.0和127.0.0.1"},
    {选择框2, L"Button", L"总在最前"},
    {选择框1, L"Button", L"5秒定时刷新"},
    {退出, L"Button", L"退出"},
    {刷新, L"Button", L"刷新"},
};

constexpr const wchar_t* kColumnTitles[] = {L"本地地址", L"本地端口", L"远程地址", L"远程端口", L"状态"};

struct ExpectedPlace {
    int id;
    Place place;
};

// Where the layout puts every control for a window of outer size w × h.
std::vector<ExpectedPlace> LayoutFor(int w, int h) {
    return {
        {列表框, {0, 0, w - 7, h - 80}},   {选择框2, {10, h - 70, 68, 12}},  {选择框1, {10, h - 55, 88, 12}},
        {选择框3, {100, h - 67, 176, 12}}, {刷新, {w - 130, h - 67, 56, 24}}, {退出, {w - 70, h - 67, 56, 24}},
        {超级链接框1, {97, 204, 152, 12}},
    };
}

std::string Text(const Place& p) {
    return std::to_string(p.left) + "," + std::to_string(p.top) + " " + std::to_string(p.width) + "x" +
           std::to_string(p.height);
}

void ExpectLayout(HWND window, const char* when) {
    const Place outer = OuterPlace(window);
    for (const ExpectedPlace& e : LayoutFor(outer.width, outer.height))
        EXPECT_EQ(Text(ChildPlace(window, e.id)), Text(e.place))
            << "control " << e.id << " " << when << ", window " << Text(outer);
}

class OutsideIn : public testing::Test {
protected:
    ProgramProcess program;
    HWND window = nullptr;
    HWND list = nullptr;
    Winsock winsock;

    void SetUp() override {
        ASSERT_TRUE(winsock.started);
        ASSERT_TRUE(StartProgram(ProgramPath(), program)) << GetLastError();
        window = WaitForMainWindow(program, kStartTimeoutMs);
        ASSERT_NE(window, nullptr) << "no window titled Orvanta-Brimlow制作";
        ASSERT_TRUE(PollUntil(kStartTimeoutMs, [&] { return IsWindowVisible(window) != FALSE; }));
        list = GetDlgItem(window, 列表框);
        ASSERT_NE(list, nullptr);
    }

    std::vector<ListRow> Shown() {
        for (int attempt = 0; attempt < 10; ++attempt)
            if (auto rows = ReadListRows(program.info.hProcess, list)) return *rows;
        ADD_FAILURE() << "the list could not be read";
        return {};
    }

    void ExpectEndsWith(DWORD status) {
        const auto ended = WaitForExit(program, kExitTimeoutMs);
        ASSERT_TRUE(ended.has_value()) << "the program is still running";
        EXPECT_EQ(*ended, status);
    }
};

TEST_F(OutsideIn, StartsCentredWithItsControlsUncheckedAndInPlace) {
    const Place outer = OuterPlace(window);
    EXPECT_EQ(outer.width, 427);
    EXPECT_EQ(outer.height, 260);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 427) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 249) / 2);

    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    for (const LONG_PTR bit : {WS_THICKFRAME, WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    ExpectLayout(window, "at start");
    for (const ControlCaption& c : kCaptions) {
        EXPECT_EQ(ClassOf(GetDlgItem(window, c.id)), c.className) << c.id;
        EXPECT_TRUE(Caption(GetDlgItem(window, c.id)) == c.caption) << c.id;
    }
    EXPECT_EQ(Caption(GetDlgItem(window, 超级链接框1)).rfind(L"访问官网", 0), 0u);
    for (const int id : {选择框1, 选择框2, 选择框3}) EXPECT_FALSE(IsChecked(window, id)) << id;

    EXPECT_EQ(ClassOf(list), WC_LISTVIEWW);
    const LONG_PTR listStyle = GetWindowLongPtrW(list, GWL_STYLE);
    EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_EQ(listStyle & LVS_SINGLESEL, LVS_SINGLESEL);
    EXPECT_EQ(GetWindowLongPtrW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    const std::vector<std::wstring> titles = ReadColumnTitles(program.info.hProcess, list);
    ASSERT_EQ(titles.size(), 5u);
    for (size_t i = 0; i < titles.size(); ++i) EXPECT_TRUE(titles[i] == kColumnTitles[i]) << "column " << i;
}

TEST_F(OutsideIn, ListHoldsTheSystemTableAndTheFilterHidesOnlyWhatItMust) {
    Socket on1 = Listen("127.0.0.1"), on2 = Listen("127.0.0.2"), onAny = Listen("0.0.0.0");
    ASSERT_NE(on1.s, INVALID_SOCKET);
    ASSERT_NE(on2.s, INVALID_SOCKET);
    ASSERT_NE(onAny.s, INVALID_SOCKET);
    const Connection to1 = Connect("127.0.0.2", on1), to2 = Connect("127.0.0.1", on2),
                     toAny = Connect("127.0.0.1", onAny);
    for (const Connection* c : {&to1, &to2, &toAny}) ASSERT_NE(c->server.s, INVALID_SOCKET);

    // Rows this test's sockets must give, with the local address each has.
    const ListRow from2to1{"127.0.0.2", LocalPort(to1.client), "127.0.0.1", LocalPort(on1), "ESTAB"};
    const ListRow from1to2{"127.0.0.1", LocalPort(to2.client), "127.0.0.2", LocalPort(on2), "ESTAB"};
    const ListRow accepted2{"127.0.0.2", LocalPort(on2), "127.0.0.1", LocalPort(to2.client), "ESTAB"};
    EXPECT_FALSE(Contains(Shown(), from2to1)) << "the list changed without a refresh";

    TableCheck all = RefreshAndCompare(program, window, false);
    ASSERT_TRUE(all.matched) << all.problem << "\nlist:\n" << Describe(all.list) << "table:\n" << Describe(all.table);
    for (const ListRow& r : {from2to1, from1to2, accepted2}) EXPECT_TRUE(Contains(all.list, r)) << r[0] << ":" << r[1];
    for (const Socket* listener : {&on1, &on2, &onAny}) {
        bool found = false;
        for (const ListRow& r : all.list)
            found |= r[0] == LocalIp(*listener) && r[1] == LocalPort(*listener) && r[4] == "LISTEN";
        EXPECT_TRUE(found) << LocalIp(*listener) << ":" << LocalPort(*listener) << " LISTEN";
    }

    TableCheck filtered = RefreshAndCompare(program, window, true, [&] { return Click(window, 选择框3); });
    EXPECT_TRUE(IsChecked(window, 选择框3));
    ASSERT_TRUE(filtered.matched) << filtered.problem << "\nlist:\n"
                                  << Describe(filtered.list) << "table:\n" << Describe(filtered.table);
    EXPECT_EQ(filtered.attempts, 1) << "the filter box's click did not show the filtered table at once";
    EXPECT_TRUE(Contains(filtered.list, from2to1));
    EXPECT_TRUE(Contains(filtered.list, accepted2));
    EXPECT_FALSE(Contains(filtered.list, from1to2));
    for (const ListRow& r : filtered.list) EXPECT_TRUE(r[0] != "0.0.0.0" && r[0] != "127.0.0.1") << r[0];

    TableCheck unfiltered = RefreshAndCompare(program, window, false, [&] { return Click(window, 选择框3); });
    EXPECT_FALSE(IsChecked(window, 选择框3));
    EXPECT_TRUE(unfiltered.matched) << unfiltered.problem;
    EXPECT_TRUE(Contains(unfiltered.list, from1to2));

    // A connection opened now shows after the next click on 刷新, not before.
    Socket later = Listen("127.0.0.2");
    const Connection fresh = Connect("127.0.0.2", later);
    const ListRow freshRow{"127.0.0.2", LocalPort(fresh.client), "127.0.0.2", LocalPort(later), "ESTAB"};
    EXPECT_FALSE(Contains(Shown(), freshRow));
    TableCheck afterNew = RefreshAndCompare(program, window, false);
    EXPECT_TRUE(afterNew.matched) << afterNew.problem;
    EXPECT_TRUE(Contains(afterNew.list, freshRow));
}

TEST_F(OutsideIn, TimerBoxRefreshesFiveSecondsAfterItsClickAndStopsWhenCleared) {
    Socket listener = Listen("127.0.0.2");
    const Connection opened = Connect("127.0.0.2", listener);
    const ListRow row{"127.0.0.2", LocalPort(opened.client), "127.0.0.2", LocalPort(listener), "ESTAB"};
    ASSERT_FALSE(Contains(Shown(), row));

    const ULONGLONG clicked = GetTickCount64();
    ASSERT_TRUE(Click(window, 选择框1));
    EXPECT_TRUE(IsChecked(window, 选择框1));
    ULONGLONG seen = 0;
    PollUntil(8000, [&] {
        if (Contains(Shown(), row)) seen = GetTickCount64();
        return seen != 0;
    });
    ASSERT_NE(seen, 0u) << "no timed refresh within 8 s";
    EXPECT_GE(seen - clicked, 4500u) << "refreshed at the click, not 5 s later";
    EXPECT_LE(seen - clicked, 6500u);

    ASSERT_TRUE(Click(window, 选择框1));
    EXPECT_FALSE(IsChecked(window, 选择框1));
    Socket second = Listen("127.0.0.2");
    const Connection afterStop = Connect("127.0.0.2", second);
    const ListRow stopped{"127.0.0.2", LocalPort(afterStop.client), "127.0.0.2", LocalPort(second), "ESTAB"};
    EXPECT_FALSE(PollUntil(5800, [&] { return Contains(Shown(), stopped); })) << "the timer kept refreshing";
}

TEST_F(OutsideIn, TopmostFollowsItsCheckBox) {
    const auto topmost = [&] { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    const Place before = OuterPlace(window);
    ASSERT_TRUE(Click(window, 选择框2));
    EXPECT_TRUE(IsChecked(window, 选择框2));
    EXPECT_TRUE(PollUntil(2000, topmost));
    EXPECT_EQ(Text(OuterPlace(window)), Text(before)) << "switching topmost moved the window";
    ASSERT_TRUE(Click(window, 选择框2));
    EXPECT_FALSE(IsChecked(window, 选择框2));
    EXPECT_TRUE(PollUntil(2000, [&] { return !topmost(); }));
}

TEST_F(OutsideIn, SnapsBackFromSmallSizesAndFollowsMaximiseMinimiseRestore) {
    struct Resize {
        int width, height, expectedWidth, expectedHeight;
    };
    constexpr Resize kResizes[] = {
        {300, 200, 420, 260}, {300, 400, 420, 400}, {600, 150, 600, 260}, {419, 259, 420, 260},
        {420, 260, 420, 260}, {700, 500, 700, 500}, {427, 260, 427, 260},
    };
    for (const Resize& r : kResizes) {
        SetWindowPos(window, nullptr, 0, 0, r.width, r.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        const bool settled = PollUntil(2000, [&] {
            const Place p = OuterPlace(window);
            return p.width == r.expectedWidth && p.height == r.expectedHeight;
        });
        EXPECT_TRUE(settled) << "asked " << r.width << "x" << r.height << ", got " << Text(OuterPlace(window));
        ExpectLayout(window, "after a resize");
    }

    ASSERT_TRUE(SystemCommand(window, SC_MAXIMIZE));
    EXPECT_TRUE(PollUntil(2000, [&] { return IsZoomed(window) != FALSE; }));
    EXPECT_GT(OuterPlace(window).width, 700);
    ExpectLayout(window, "maximised");

    ASSERT_TRUE(SystemCommand(window, SC_RESTORE));
    EXPECT_TRUE(PollUntil(2000, [&] { return !IsZoomed(window); }));
    EXPECT_EQ(OuterPlace(window).width, 427);
    EXPECT_EQ(OuterPlace(window).height, 260);
    ExpectLayout(window, "restored from maximised");

    ASSERT_TRUE(SystemCommand(window, SC_MINIMIZE));
    EXPECT_TRUE(PollUntil(2000, [&] { return IsIconic(window) != FALSE; }));
    ASSERT_TRUE(SystemCommand(window, SC_RESTORE));
    EXPECT_TRUE(PollUntil(2000, [&] { return !IsIconic(window); }));
    const Place restored = OuterPlace(window);
    EXPECT_GE(restored.width, 420);
    EXPECT_GE(restored.height, 260);
    ExpectLayout(window, "restored from minimised");
    EXPECT_TRUE(Click(window, 刷新)) << "the window stopped answering";
}

TEST_F(OutsideIn, EscEndsTheProgramWithStatusZero) {
    PostKey(window, VK_ESCAPE);
    ExpectEndsWith(0);
}

TEST_F(OutsideIn, CloseBoxEndsTheProgramWithStatusZero) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectEndsWith(0);
}

TEST_F(OutsideIn, ExitButtonEndsTheProgramWithStatusZero) {
    PostClick(window, 退出);
    ExpectEndsWith(0);
}

}  // namespace
