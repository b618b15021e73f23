// Drives the finished program from a second process, as UI automation does:
// starts it, finds its window, reads its controls and its list out of the
// program's own memory, clicks, types, and reads its resource counts.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

// Owns the process and thread handles of a started program; ends a program
// still running when it goes, so a failed test leaves nothing behind.
struct ProgramProcess {
    PROCESS_INFORMATION info{};

    ProgramProcess() = default;
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    ~ProgramProcess();
};

// The program this build made (ORVANTA_EXE, set by the build); a path from
// the build machine's file system is reached through Wine's drive Z:.
std::wstring ProgramPath();

// Starts the program with this process's environment.
bool StartProgram(const std::wstring& path, ProgramProcess& program);

// The program's main window, found by its class and title among the windows
// of that process; nullptr when it does not appear in time.
HWND WaitForMainWindow(const ProgramProcess& program, DWORD timeoutMs);

// A message box (dialog class "#32770") of the process; nullptr on timeout.
HWND WaitForDialog(const ProgramProcess& program, DWORD timeoutMs);

// The exit status once the process has ended; empty on timeout.
std::optional<DWORD> WaitForExit(const ProgramProcess& program, DWORD timeoutMs);

// Captions of a window's children, in the order EnumChildWindows gives.
std::vector<std::wstring> ChildTexts(HWND window);

struct Place {
    int left, top, width, height;
    bool operator==(const Place& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

Place OuterPlace(HWND window);
// A child's place in its parent's client coordinates.
Place ChildPlace(HWND window, int id);
std::wstring Caption(HWND window);
std::wstring ClassOf(HWND window);
bool IsChecked(HWND window, int id);

// Clicks a button or check box as a user would (BM_CLICK) and returns once
// the program has handled the click.
bool Click(HWND window, int id);
// The same click, posted, for clicks that end the program.
void PostClick(HWND window, int id);
// Posts a key press and release to the window that has the focus in the
// program's thread, or to `window` when none has it.
void PostKey(HWND window, UINT virtualKey);
// Sends a system command (SC_MAXIMIZE, SC_CLOSE ...) and waits for it.
bool SystemCommand(HWND window, UINT command);
// Waits until `done` holds, polling; false on timeout.
template <typename Done>
bool PollUntil(DWORD timeoutMs, Done done) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

using ListRow = std::array<std::string, 5>;

// Every cell of another process's list view, read with a buffer allocated in
// that process (VirtualAllocEx, LVM_GETITEMTEXTA, ReadProcessMemory). Empty
// when the list changed while it was being read or a message failed.
std::optional<std::vector<ListRow>> ReadListRows(HANDLE process, HWND list);
std::vector<std::wstring> ReadColumnTitles(HANDLE process, HWND list);

// What the program holds, for the soak. Figures the platform does not report
// are counted another way where possible; `how` says which way.
struct ResourceCounts {
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
    int handles = 0;
    int gdiObjects = 0;
    int userObjects = 0;
    std::string how;
};
ResourceCounts CountResources(const ProgramProcess& program);
