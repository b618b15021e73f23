#include <windows.h>

#include "ui/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    const HWND window = CreateMainWindow(instance);
    if (window == nullptr) return kBindFailureExitStatus;
    ShowWindow(window, show);
    UpdateWindow(window);
    return RunMessageLoop(window);
}
