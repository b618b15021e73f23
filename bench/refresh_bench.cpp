// Times one refresh of the connection list on the system's real TCP table,
// three ways side by side on the same rows: the program's own refresh (a click
// on 刷新 in the real main window), the straightforward fill of a list view
// that keeps itself sorted, and the floor, plain appends to an unsorted list.
// Each way runs as a click handler would: empty the list, query and decode the
// table, fill with redraw off, redraw on, and the repaint that follows.
// Also times QueryTcpTable and DecodeTcpTable alone, and reads the process's
// memory after the program's refresh.
//
// The system's query is about half of a refresh and varies from call to call,
// so the program and the floor are also timed on one snapshot of the table
// replayed through the same two-call protocol (program_fill_ms,
// floor_fill_ms): that is the part of a refresh the program controls. The
// ordering alone (order_ms) is the program's refresh into its row store
// without writing the rows to the control. The program and the floor run in
// alternation, round by round, so that a slow moment of the machine falls on
// both.
//
// Prints one CSV line (with --header, the column names first):
// rows,query_ms,decode_ms,program_ms,sorted_ms,floor_ms,program_items,
// sorted_items,floor_items,working_set_kib,private_kib,program_fill_ms,
// floor_fill_ms,order_ms
// sorted_ms and sorted_items are empty when the sorted fill is skipped.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "connection/connection_refresh.h"
#include "connection/tcp_table.h"
#include "connection/tcp_table_library.h"
#include "ui/list_view_sink.h"
#include "ui/main_window.h"

namespace {

constexpr const char kHostClass[] = "OrvantaBenchHost";
constexpr int kListId = 1;
// A single run longer than this is not repeated: the sorted fill at server
// scale takes minutes.
constexpr double kRepeatBudgetMs = 10000.0;
// Messages handled after a fill before the repaint is taken as done; bounds
// the drain loop.
constexpr int kMaxSettleMessages = 10000;

struct ListColumn {
    const char* title;
    int width;
    int format;
};

// The program's five columns, with its widths and alignments.
constexpr ListColumn kColumns[] = {
    {"Local address", 110, LVCFMT_LEFT},  {"Local port", 60, LVCFMT_CENTER},
    {"Remote address", 110, LVCFMT_CENTER}, {"Remote port", 60, LVCFMT_CENTER},
    {"State", 60, LVCFMT_CENTER},
};

// Owns a top-level window; destroying it destroys its children.
struct OwnedWindow {
    HWND hwnd = nullptr;
    explicit OwnedWindow(HWND h) : hwnd(h) {}
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() {
        if (hwnd != nullptr) DestroyWindow(hwnd);
    }
};

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median of up to `repeats` runs of `run`, each returning its milliseconds;
// stops repeating once one run exceeds the budget.
template <typename Run>
double MedianMs(int repeats, Run run) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        times.push_back(run());
        if (times.back() > kRepeatBudgetMs) break;
    }
    return Median(std::move(times));
}

// Lets the window finish what the fill started: paints its dirty parts now
// and handles what is queued, as the message loop would after a click.
void Settle(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG message;
    for (int i = 0; i < kMaxSettleMessages && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

int InsertItem(HWND list, int position, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetItemText(HWND list, int index, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

bool RegisterHostClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kHostClass;
    return RegisterClassA(&windowClass) != 0;
}

// Where each window goes on the 1024 x 768 screen: side by side, none over
// another, so that each repaints its whole list.
struct ScreenPlace {
    int left, top;
};
constexpr ScreenPlace kFloorPlace{0, 0}, kFloorOnSnapshotPlace{440, 0}, kProgramPlace{0, 270},
    kProgramOnSnapshotPlace{440, 270}, kOrderingPlace{0, 540}, kSortedPlace{440, 540};

// A shown window of the program's size holding one report-view list with the
// program's columns and placement; `sortStyle` is 0 or LVS_SORTDESCENDING.
HWND CreateListHost(HINSTANCE instance, DWORD sortStyle, ScreenPlace at) {
    HWND host = CreateWindowExA(0, kHostClass, "bench", WS_OVERLAPPEDWINDOW, at.left, at.top, 427, 260, nullptr,
                                nullptr, instance, nullptr);
    if (host == nullptr) return nullptr;
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | sortStyle, 0, 0, 420, 180, host,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), instance, nullptr);
    if (list == nullptr) {
        DestroyWindow(host);
        return nullptr;
    }
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = kColumns[i].format;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    ShowWindow(host, SW_SHOWNOACTIVATE);
    Settle(host);
    return host;
}

// One refresh of a bench list: the steps of the program's refresh, with the
// list's own insertion. Each item is asked for at the end; a sorted list puts
// it where its order says, and the cells follow the index it returns.
double TimedFill(HWND host, const TcpTableFunction& getTcpTable) {
    HWND list = GetDlgItem(host, kListId);
    const double start = NowMs();
    // Redraw off, or every insertion repaints the list.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const std::optional<TcpTableSnapshot> snapshot = QueryTcpTable(getTcpTable);
    if (snapshot) {
        int position = 0;
        for (const TcpConnectionRow& row : DecodeTcpTable(snapshot->data(), snapshot->size())) {
            const int index = InsertItem(list, position, row.localAddress);
            ++position;
            if (index < 0) continue;
            SetItemText(list, index, 1, row.localPort);
            SetItemText(list, index, 2, row.remoteAddress);
            SetItemText(list, index, 3, row.remotePort);
            SetItemText(list, index, 4, row.state);
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    Settle(host);
    return NowMs() - start;
}

// A click on 刷新 in the program's window, handled to completion.
double TimedClick(HWND window) {
    const double start = NowMs();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(刷新, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, 刷新)));
    Settle(window);
    return NowMs() - start;
}

// The same snapshot every call, with GetTcpTable's size protocol: a buffer
// too small gets the size needed and ERROR_INSUFFICIENT_BUFFER.
TcpTableFunction ReplayOf(const TcpTableSnapshot& snapshot) {
    return [&snapshot](void* table, std::uint32_t* size, bool) -> std::uint32_t {
        const auto needed = static_cast<std::uint32_t>(snapshot.size());
        if (*size < needed) {
            *size = needed;
            return kStatusInsufficientBuffer;
        }
        std::memcpy(table, snapshot.data(), needed);
        *size = needed;
        return 0;
    };
}

// The program's refresh into its row store only: the rows are ordered as for
// the list and then dropped, so the control receives none of them.
double TimedOrdering(HWND emptyList, const TcpTableFunction& getTcpTable) {
    const double start = NowMs();
    {
        ListViewSink sink(emptyList);
        RefreshConnectionList(sink, false, getTcpTable);
        sink.DeleteAllItems();
    }
    return NowMs() - start;
}

struct Options {
    bool header = false;
    bool sorted = true;
    int repeats = 5;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--header") == 0) options.header = true;
        if (std::strcmp(argv[i], "--skip-sorted") == 0) options.sorted = false;
        if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc) options.repeats = std::max(1, std::atoi(argv[++i]));
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterHostClass(instance)) {
        std::fprintf(stderr, "cannot register the bench window class\n");
        return 1;
    }
    TcpTableLibrary library;
    const GetTcpTableProc proc = BindGetTcpTable(library);
    if (proc == nullptr) {
        std::fprintf(stderr, "GetTcpTable cannot be bound\n");
        return 1;
    }
    const TcpTableFunction getTcpTable = TcpTableFunctionOf(proc);

    // The table alone: the query, and the decoding of one snapshot.
    std::optional<TcpTableSnapshot> snapshot;
    const double queryMs = MedianMs(options.repeats, [&] {
        const double start = NowMs();
        snapshot = QueryTcpTable(getTcpTable);
        return NowMs() - start;
    });
    if (!snapshot) {
        std::fprintf(stderr, "the TCP table cannot be read\n");
        return 1;
    }
    std::size_t rows = 0;
    const double decodeMs = MedianMs(options.repeats, [&] {
        const double start = NowMs();
        rows = DecodeTcpTable(snapshot->data(), snapshot->size()).size();
        return NowMs() - start;
    });

    // 1. The program's refresh, in the real window: on the system's table,
    // and in a second window on the replayed snapshot. Creating a window
    // already ran one refresh, so each timed click empties a full list, as
    // every later click does.
    const TcpTableFunction replay = ReplayOf(*snapshot);
    const auto showAt = [](HWND window, ScreenPlace at) {
        SetWindowPos(window, nullptr, at.left, at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        Settle(window);
    };
    OwnedWindow program(CreateMainWindow(instance));
    if (program.hwnd == nullptr) {
        std::fprintf(stderr, "CreateMainWindow failed\n");
        return 1;
    }
    showAt(program.hwnd, kProgramPlace);
    // Private bytes are the commit charge, PagefileUsage; Wine leaves the
    // newer PrivateUsage field at 0.
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    MainWindowOptions replayed;
    replayed.tcpTable = replay;
    OwnedWindow programOnSnapshot(CreateMainWindow(instance, replayed));
    if (programOnSnapshot.hwnd == nullptr) return 1;
    showAt(programOnSnapshot.hwnd, kProgramOnSnapshotPlace);

    // 3. The floor, the same ways; each list is filled once untimed so that
    // every timed run, like the click, starts from a full list.
    OwnedWindow floorHost(CreateListHost(instance, 0, kFloorPlace));
    OwnedWindow floorOnSnapshot(CreateListHost(instance, 0, kFloorOnSnapshotPlace));
    OwnedWindow orderingHost(CreateListHost(instance, 0, kOrderingPlace));
    if (floorHost.hwnd == nullptr || floorOnSnapshot.hwnd == nullptr || orderingHost.hwnd == nullptr) return 1;
    TimedFill(floorHost.hwnd, getTcpTable);
    TimedFill(floorOnSnapshot.hwnd, replay);

    std::vector<double> programTimes, floorTimes, programFillTimes, floorFillTimes, orderTimes;
    for (int round = 0; round < options.repeats; ++round) {
        programTimes.push_back(TimedClick(program.hwnd));
        floorTimes.push_back(TimedFill(floorHost.hwnd, getTcpTable));
        programFillTimes.push_back(TimedClick(programOnSnapshot.hwnd));
        floorFillTimes.push_back(TimedFill(floorOnSnapshot.hwnd, replay));
        orderTimes.push_back(TimedOrdering(GetDlgItem(orderingHost.hwnd, kListId), replay));
    }
    const int programItems = ItemCount(GetDlgItem(program.hwnd, 列表框));
    const int floorItems = ItemCount(GetDlgItem(floorHost.hwnd, kListId));

    std::string sortedMs;
    std::string sortedItems;
    if (options.sorted) {
        OwnedWindow sortedHost(CreateListHost(instance, LVS_SORTDESCENDING, kSortedPlace));
        if (sortedHost.hwnd == nullptr) return 1;
        // One run fills the list for the next; a run past the repeat budget is
        // the only one.
        const double first = TimedFill(sortedHost.hwnd, getTcpTable);
        const double ms =
            first > kRepeatBudgetMs ? first
                                    : MedianMs(options.repeats, [&] { return TimedFill(sortedHost.hwnd, getTcpTable); });
        sortedMs = std::to_string(ms);
        sortedItems = std::to_string(ItemCount(GetDlgItem(sortedHost.hwnd, kListId)));
    }

    if (options.header) {
        std::printf(
            "rows,query_ms,decode_ms,program_ms,sorted_ms,floor_ms,program_items,sorted_items,floor_items,"
            "working_set_kib,private_kib,program_fill_ms,floor_fill_ms,order_ms\n");
    }
    std::printf("%zu,%.3f,%.3f,%.3f,%s,%.3f,%d,%s,%d,%llu,%llu,%.3f,%.3f,%.3f\n", rows, queryMs, decodeMs,
                Median(programTimes), sortedMs.c_str(), Median(floorTimes), programItems, sortedItems.c_str(),
                floorItems, static_cast<unsigned long long>(memory.WorkingSetSize / 1024),
                static_cast<unsigned long long>(memory.PagefileUsage / 1024), Median(programFillTimes),
                Median(floorFillTimes), Median(orderTimes));
    return 0;
}
