#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <memory>

#include "connection/tcp_table_library.h"
#include "ui/list_view_sink.h"

#ifndef ORVANTA_SITE_HOST
#define ORVANTA_SITE_HOST "orvanta.example"
#endif

namespace {

constexpr const char kTitle[] = "Orvanta-Brimlow制作";
constexpr const char kSiteUrl[] = "https://" ORVANTA_SITE_HOST "/";
constexpr int kDesignedWidth = 427;
constexpr int kDesignedHeight = 249;
constexpr COLORREF kLinkColour = RGB(0, 0, 255);

constexpr DWORD kCheckBox = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE | BS_LEFT | BS_VCENTER;
constexpr DWORD kPushButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER;

// The window's children in creation order. 时钟1 has no window of its own:
// its row keeps its place in the order, and it starts stopped.
struct ControlSpec {
    ControlId id;
    const char* className;  // nullptr: the timer
    const char* caption;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height;
};

constexpr ControlSpec kControls[] = {
    {超级链接框1, "STATIC", "访问官网" ORVANTA_SITE_HOST, WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_LEFT, 0, 97, 204, 152, 12},
    {选择框3, "BUTTON", "过滤0.0.0.0和127.0.0.1", kCheckBox, 0, 100, 186, 176, 12},
    {选择框2, "BUTTON", "总在最前", kCheckBox, 0, 8, 185, 68, 12},
    {时钟1, nullptr, nullptr, 0, 0, 0, 0, 0, 0},
    {选择框1, "BUTTON", "5秒定时刷新", kCheckBox, 0, 8, 206, 88, 12},
    {退出, "BUTTON", "退出", kPushButton, 0, 344, 192, 56, 24},
    {刷新, "BUTTON", "刷新", kPushButton, 0, 280, 192, 56, 24},
    {列表框, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, WS_EX_CLIENTEDGE, 0, 0,
     420, 176},
};

struct ColumnSpec {
    const char* title;
    int width;
    int format;
};

constexpr ColumnSpec kColumns[] = {
    {"本地地址", 110, LVCFMT_LEFT},   {"本地端口", 60, LVCFMT_CENTER}, {"远程地址", 110, LVCFMT_CENTER},
    {"远程端口", 60, LVCFMT_CENTER}, {"状态", 60, LVCFMT_CENTER},
};

// One coordinate as scale × the window's outer width or height, plus offset.
struct Edge {
    int scale;
    int offset;
    constexpr int At(int size) const { return scale * size + offset; }
};

// Where ApplyLayout puts each control; `sized` controls also take the width
// and height, the others keep theirs. 超级链接框1 stays where it was made.
struct LayoutRule {
    ControlId id;
    Edge left, top;
    bool sized;
    Edge width, height;
};

constexpr LayoutRule kLayout[] = {
    {列表框, {0, 0}, {0, 0}, true, {1, -7}, {1, -80}},
    {选择框2, {0, 10}, {1, -70}, false, {}, {}},
    {选择框1, {0, 10}, {1, -55}, false, {}, {}},
    {选择框3, {0, 100}, {1, -67}, false, {}, {}},
    {刷新, {1, -130}, {1, -67}, false, {}, {}},
    {退出, {1, -70}, {1, -67}, false, {}, {}},
};

// Owns a GDI font; not copyable, so it is deleted once.
struct FontOwner {
    HFONT font = nullptr;
    FontOwner() = default;
    FontOwner(const FontOwner&) = delete;
    FontOwner& operator=(const FontOwner&) = delete;
    ~FontOwner() {
        if (font != nullptr) DeleteObject(font);
    }
};

// What the window owns besides its controls: the table source, the bound IP
// Helper and the link's underlined font. Lives from WM_NCCREATE to WM_NCDESTROY.
struct MainWindowState {
    MainWindowOptions options;
    TcpTableLibrary library;
    FontOwner linkFont;
};

MainWindowState& StateOf(HWND window) {
    return *reinterpret_cast<MainWindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool IsChecked(HWND window, ControlId id) {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

SIZE OuterSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Rebuilds the list from the current table. False only when GetTcpTable
// cannot be bound.
bool RefreshConnections(HWND window) {
    MainWindowState& state = StateOf(window);
    TcpTableFunction source = state.options.tcpTable;
    if (!source) {
        const GetTcpTableProc proc = BindGetTcpTable(state.library);
        if (proc == nullptr) return false;
        source = TcpTableFunctionOf(proc);
    }
    ListViewSink list(GetDlgItem(window, 列表框));
    RefreshConnectionList(list, IsChecked(window, 选择框3), source);
    list.Commit();
    return true;
}

void SetupListView(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP);
    ListView_SetTextColor(list, RGB(0, 0, 0));
    ListView_SetTextBkColor(list, RGB(255, 255, 255));
    ListView_SetBkColor(list, RGB(255, 255, 255));
    int index = 0;
    for (const ColumnSpec& c : kColumns) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = c.format;
        column.cx = c.width;
        column.pszText = const_cast<char*>(c.title);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        ++index;
    }
}

HFONT CreateUnderlinedFont(HFONT base) {
    LOGFONTA font{};
    GetObjectA(base, sizeof font, &font);
    font.lfUnderline = TRUE;
    return CreateFontIndirectA(&font);
}

void ShowBindFailure() {
    MessageBoxA(nullptr, "无法在 iphlpapi.dll 中找到 GetTcpTable", kTitle, MB_OK | MB_ICONERROR);
}

void ApplyLayout(HWND window) {
    SIZE size = OuterSize(window);
    if (size.cx < kMinimumWidth)
        SetWindowPos(window, nullptr, 0, 0, kMinimumWidth, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    size = OuterSize(window);
    if (size.cy < kMinimumHeight)
        SetWindowPos(window, nullptr, 0, 0, size.cx, kMinimumHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    size = OuterSize(window);
    for (const LayoutRule& rule : kLayout) {
        const HWND control = GetDlgItem(window, rule.id);
        RECT now;
        GetWindowRect(control, &now);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&now), 2);
        const int left = rule.left.At(size.cx), top = rule.top.At(size.cy);
        const int width = rule.sized ? rule.width.At(size.cx) : now.right - now.left;
        const int height = rule.sized ? rule.height.At(size.cy) : now.bottom - now.top;
        if (now.left == left && now.top == top && now.right - now.left == width && now.bottom - now.top == height)
            continue;
        SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

BOOL OnNCCreate(HWND window, LPCREATESTRUCTA create) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return FORWARD_WM_NCCREATE(window, create, DefWindowProcA);
}

BOOL OnCreate(HWND window, LPCREATESTRUCTA create) {
    MainWindowState& state = StateOf(window);
    const auto guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    state.linkFont.font = CreateUnderlinedFont(guiFont);
    for (const ControlSpec& c : kControls) {
        if (c.className == nullptr) continue;
        const HWND control = CreateWindowExA(c.exStyle, c.className, c.caption, c.style, c.left, c.top, c.width,
                                             c.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                             create->hInstance, nullptr);
        if (control == nullptr) return FALSE;
        SetWindowFont(control, c.id == 超级链接框1 ? state.linkFont.font : guiFont, FALSE);
    }
    SetupListView(GetDlgItem(window, 列表框));
    if (!RefreshConnections(window)) {
        ShowBindFailure();
        return FALSE;
    }
    return TRUE;
}

void OnSize(HWND window, UINT state, int, int) {
    // Minimised, the outer size is the icon's; correcting it would make the
    // restored window forget the size the user had.
    if (state == SIZE_MINIMIZED) return;
    ApplyLayout(window);
}

void OnCommand(HWND window, int id, HWND, UINT code) {
    switch (id) {
        case 刷新: RefreshConnections(window); break;
        case 退出: DestroyWindow(window); break;
        case 选择框1:
            if (IsChecked(window, 选择框1)) SetTimer(window, 时钟1, kRefreshPeriodMs, nullptr);
            else KillTimer(window, 时钟1);
            break;
        case 选择框2:
            SetWindowPos(window, IsChecked(window, 选择框2) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        case 选择框3: RefreshConnections(window); break;
        case 超级链接框1:
            if (code == STN_CLICKED) {
                const MainWindowState& state = StateOf(window);
                if (state.options.openUrl) state.options.openUrl(kSiteUrl);
                else ShellExecuteA(window, "open", kSiteUrl, nullptr, nullptr, SW_SHOWNORMAL);
            }
            break;
        case IDCANCEL: PostMessageA(window, WM_CLOSE, 0, 0); break;  // Esc, from the message loop
        default: break;
    }
}

void OnTimer(HWND window, UINT id) {
    if (id == 时钟1) RefreshConnections(window);
}

HBRUSH OnCtlColorStatic(HWND window, HDC dc, HWND control, int type) {
    if (GetDlgCtrlID(control) != 超级链接框1)
        return FORWARD_WM_CTLCOLORSTATIC(window, dc, control, DefWindowProcA);
    (void)type;
    SetTextColor(dc, kLinkColour);
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

BOOL OnSetCursor(HWND window, HWND under, UINT hitTest, UINT message) {
    if (GetDlgCtrlID(under) == 超级链接框1 && hitTest == HTCLIENT) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
    }
    return FORWARD_WM_SETCURSOR(window, under, hitTest, message, DefWindowProcA);
}

void OnDestroy(HWND) {
    PostQuitMessage(0);
}

void OnNCDestroy(HWND window) {
    delete reinterpret_cast<MainWindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    FORWARD_WM_NCDESTROY(window, DefWindowProcA);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(window, WM_NCCREATE, OnNCCreate);
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_TIMER, OnTimer);
        HANDLE_MSG(window, WM_CTLCOLORSTATIC, OnCtlColorStatic);
        HANDLE_MSG(window, WM_SETCURSOR, OnSetCursor);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_NCDESTROY, OnNCDestroy);
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kMainWindowClass, &existing)) return true;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&wc) != 0;
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance, const MainWindowOptions& options) {
    if (!RegisterMainWindowClass(instance)) return nullptr;
    auto state = std::make_unique<MainWindowState>();
    state->options = options;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kDesignedWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kDesignedHeight) / 2;
    // Once WM_NCCREATE has taken the state, WM_NCDESTROY frees it, also when
    // WM_CREATE fails.
    const HWND window = CreateWindowExA(0, kMainWindowClass, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, left, top,
                                        kDesignedWidth, kDesignedHeight, nullptr, nullptr, instance, state.release());
    if (window == nullptr) return nullptr;
    // A window made hidden gets its first size message only when shown; the
    // layout and the minimum size must hold before any input, so it is sent now.
    RECT client;
    GetClientRect(window, &client);
    FORWARD_WM_SIZE(window, SIZE_RESTORED, client.right, client.bottom, SendMessageA);
    return window;
}

int RunMessageLoop(HWND window) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Esc and Tab as in a dialog; Esc arrives as IDCANCEL and closes.
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
