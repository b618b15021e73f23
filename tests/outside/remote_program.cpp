#include "tests/outside/remote_program.h"

#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <cstring>

#include "ui/main_window.h"

namespace {

constexpr wchar_t kMainWindowTitle[] = L"Orvanta-Brimlow制作";
constexpr DWORD kMessageTimeoutMs = 5000;

// Memory allocated inside another process; freed there when the owner goes.
struct RemoteMemory {
    HANDLE process;  // not owned
    void* address;
    RemoteMemory(HANDLE p, SIZE_T size)
        : process(p), address(VirtualAllocEx(p, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    ~RemoteMemory() {
        if (address != nullptr) VirtualFreeEx(process, address, 0, MEM_RELEASE);
    }
    char* At(SIZE_T offset) const { return static_cast<char*>(address) + offset; }
};

bool Write(HANDLE process, void* to, const void* from, SIZE_T size) {
    SIZE_T done = 0;
    return WriteProcessMemory(process, to, from, size, &done) && done == size;
}

bool Read(HANDLE process, const void* from, void* to, SIZE_T size) {
    SIZE_T done = 0;
    return ReadProcessMemory(process, from, to, size, &done) && done == size;
}

std::optional<LRESULT> Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOfProcess(HWND window, LPARAM search) {
    auto& s = *reinterpret_cast<WindowSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s.processId) s.found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
    WindowSearch search{processId, {}};
    EnumWindows(CollectWindowOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildrenOf(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND WaitForWindow(const ProgramProcess& program, DWORD timeoutMs, const wchar_t* className, const wchar_t* title) {
    HWND found = nullptr;
    PollUntil(timeoutMs, [&] {
        for (HWND w : TopLevelWindowsOf(program.info.dwProcessId)) {
            if (ClassOf(w) == className && (title == nullptr || Caption(w) == title)) {
                found = w;
                return true;
            }
        }
        return WaitForSingleObject(program.info.hProcess, 0) == WAIT_OBJECT_0;
    });
    return found;
}

// Handle values are multiples of 4 from 4 up; a value is in use when it can
// be duplicated, or when duplicating fails for any reason but its absence.
int CountHandlesByProbing(HANDLE process) {
    int count = 0;
    int missesInARow = 0;
    for (ULONG_PTR value = 4; missesInARow < 2048; value += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            CloseHandle(copy);
        } else if (GetLastError() == ERROR_INVALID_HANDLE) {
            ++missesInARow;
            continue;
        }
        ++count;
        missesInARow = 0;
    }
    return count;
}

// Wine keeps each process's GDI objects in a table that the process block
// points to, in entries of 24 bytes whose byte 14 is the object's type (0 when
// the entry is free). Used only where GetGuiResources is not implemented.
int CountGdiObjectsInSharedTable(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return -1;
    constexpr SIZE_T kTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;  // PEB.GdiSharedHandleTable
    void* table = nullptr;
    if (!Read(process, reinterpret_cast<char*>(basic.PebBaseAddress) + kTableOffset, &table, sizeof table) ||
        table == nullptr)
        return -1;
    constexpr SIZE_T kEntries = 0x10000, kEntrySize = 24, kTypeOffset = 14;
    std::vector<unsigned char> entries(kEntries * kEntrySize);
    if (!Read(process, table, entries.data(), entries.size())) return -1;
    int count = 0;
    for (SIZE_T i = 0; i < kEntries; ++i)
        if (entries[i * kEntrySize + kTypeOffset] != 0) ++count;
    return count;
}

int CountWindowsOf(DWORD processId) {
    int count = 0;
    for (HWND w : TopLevelWindowsOf(processId)) count += 1 + static_cast<int>(ChildrenOf(w).size());
    return count;
}

}  // namespace

ProgramProcess::~ProgramProcess() {
    if (info.hProcess != nullptr) {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
    }
    if (info.hThread != nullptr) CloseHandle(info.hThread);
}

std::wstring ProgramPath() {
    const char* const built = ORVANTA_EXE;
    wchar_t path[MAX_PATH];
    const int n = MultiByteToWideChar(CP_UTF8, 0, built, -1, path, MAX_PATH);
    std::wstring result(path, n > 0 ? n - 1 : 0);
    for (wchar_t& ch : result)
        if (ch == L'/') ch = L'\\';
    return result.rfind(L"\\", 0) == 0 ? L"Z:" + result : result;
}

bool StartProgram(const std::wstring& path, ProgramProcess& program) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program.info))
        return false;
    WaitForInputIdle(program.info.hProcess, 10000);
    return true;
}

HWND WaitForMainWindow(const ProgramProcess& program, DWORD timeoutMs) {
    wchar_t className[64];
    MultiByteToWideChar(CP_ACP, 0, kMainWindowClass, -1, className, 64);
    return WaitForWindow(program, timeoutMs, className, kMainWindowTitle);
}

HWND WaitForDialog(const ProgramProcess& program, DWORD timeoutMs) {
    return WaitForWindow(program, timeoutMs, L"#32770", nullptr);
}

std::optional<DWORD> WaitForExit(const ProgramProcess& program, DWORD timeoutMs) {
    if (WaitForSingleObject(program.info.hProcess, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(program.info.hProcess, &status);
    return status;
}

std::vector<std::wstring> ChildTexts(HWND window) {
    std::vector<std::wstring> texts;
    for (HWND child : ChildrenOf(window)) texts.push_back(Caption(child));
    return texts;
}

Place OuterPlace(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Place ChildPlace(HWND window, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(window, id), &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::wstring Caption(HWND window) {
    wchar_t text[512];
    const int n = GetWindowTextW(window, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

bool IsChecked(HWND window, int id) {
    return Send(GetDlgItem(window, id), BM_GETCHECK, 0, 0).value_or(BST_UNCHECKED) == BST_CHECKED;
}

bool Click(HWND window, int id) { return Send(GetDlgItem(window, id), BM_CLICK, 0, 0).has_value(); }

void PostClick(HWND window, int id) { PostMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0); }

void PostKey(HWND window, UINT virtualKey) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui) && gui.hwndFocus != nullptr)
        target = gui.hwndFocus;
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

bool SystemCommand(HWND window, UINT command) { return Send(window, WM_SYSCOMMAND, command, 0).has_value(); }

std::optional<std::vector<ListRow>> ReadListRows(HANDLE process, HWND list) {
    constexpr int kTextSize = 64;
    RemoteMemory remote(process, sizeof(LVITEMA) + kTextSize);
    if (remote.address == nullptr) return std::nullopt;
    char* const remoteText = remote.At(sizeof(LVITEMA));
    const auto count = Send(list, LVM_GETITEMCOUNT, 0, 0);
    if (!count) return std::nullopt;
    std::vector<ListRow> rows(static_cast<size_t>(*count));
    for (size_t i = 0; i < rows.size(); ++i) {
        for (int column = 0; column < 5; ++column) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iSubItem = column;
            item.pszText = remoteText;
            item.cchTextMax = kTextSize;
            if (!Write(process, remote.address, &item, sizeof item)) return std::nullopt;
            const auto length = Send(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote.address));
            if (!length) return std::nullopt;
            char text[kTextSize] = {};
            if (!Read(process, remoteText, text, kTextSize)) return std::nullopt;
            rows[i][static_cast<size_t>(column)].assign(text, strnlen(text, kTextSize));
        }
    }
    if (Send(list, LVM_GETITEMCOUNT, 0, 0) != count) return std::nullopt;
    return rows;
}

std::vector<std::wstring> ReadColumnTitles(HANDLE process, HWND list) {
    constexpr int kTextChars = 64;
    RemoteMemory remote(process, sizeof(LVCOLUMNW) + kTextChars * sizeof(wchar_t));
    std::vector<std::wstring> titles;
    if (remote.address == nullptr) return titles;
    auto* const remoteText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVCOLUMNW)));
    for (int column = 0;; ++column) {
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = remoteText;
        c.cchTextMax = kTextChars;
        if (!Write(process, remote.address, &c, sizeof c)) break;
        if (Send(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(remote.address)).value_or(0) == 0) break;
        wchar_t text[kTextChars] = {};
        if (!Read(process, remoteText, text, sizeof text)) break;
        titles.emplace_back(text, wcsnlen(text, kTextChars));
    }
    return titles;
}

ResourceCounts CountResources(const ProgramProcess& program) {
    const HANDLE process = program.info.hProcess;
    ResourceCounts counts;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        counts.workingSet = memory.WorkingSetSize;
        counts.privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    }
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles) && handles != 0) {
        counts.handles = static_cast<int>(handles);
        counts.how += "handles: GetProcessHandleCount; ";
    } else {
        counts.handles = CountHandlesByProbing(process);
        counts.how += "handles: probed with DuplicateHandle; ";
    }
    SetLastError(0);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    if (gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
        counts.gdiObjects = static_cast<int>(gdi);
        counts.userObjects = static_cast<int>(GetGuiResources(process, GR_USEROBJECTS));
        counts.how += "GDI and USER: GetGuiResources";
    } else {
        counts.gdiObjects = CountGdiObjectsInSharedTable(process);
        counts.userObjects = CountWindowsOf(program.info.dwProcessId);
        counts.how += "GDI: the process's GDI handle table; USER: its windows (GetGuiResources not implemented here)";
    }
    return counts;
}
