// The program's one top-level window: its controls, their events and layout.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "connection/connection_refresh.h"

// Child-window IDs, named as the controls are; handlers find each control by
// its ID. 时钟1 is the window timer's ID.
enum ControlId : int {
    超级链接框1 = 1001,
    选择框3,
    选择框2,
    时钟1,
    选择框1,
    退出,
    刷新,
    列表框,
};

constexpr const char kMainWindowClass[] = "OrvantaMainWindow";
constexpr UINT kRefreshPeriodMs = 5000;
constexpr int kMinimumWidth = 420;
constexpr int kMinimumHeight = 260;

// Where the window gets its table and how it opens a web address. Empty
// members mean the real ones: the system's GetTcpTable, bound at the first
// refresh, and the shell's default browser. Tests replace them where the
// system cannot produce the case.
struct MainWindowOptions {
    TcpTableFunction tcpTable;
    std::function<void(const std::string& url)> openUrl;
};

// Registers the class once and creates the window centred on the screen, not
// yet shown. Returns nullptr when creation fails, which includes a first
// refresh that cannot bind GetTcpTable (after its message has been shown).
HWND CreateMainWindow(HINSTANCE instance, const MainWindowOptions& options = {});

// Runs the message loop, Esc closing the window wherever the focus is, until
// the program ends; returns its exit status.
int RunMessageLoop(HWND window);

// Exit status when GetTcpTable cannot be bound.
constexpr int kBindFailureExitStatus = -1;
