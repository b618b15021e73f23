// The one fatal path, from outside: with the IP Helper library unavailable to
// the program (under Wine: WINEDLLOVERRIDES=iphlpapi=d for this run, which the
// program inherits), it names the missing export in a message box and ends
// with status -1 once the message is dismissed. This executable does not use
// the IP Helper itself, so it runs under the same setting.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/outside/remote_program.h"

namespace {

bool IpHelperDisabledForThisRun() {
    char overrides[512] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    return std::string(overrides).find("iphlpapi") != std::string::npos;
}

TEST(OutsideInFatal, MissingGetTcpTableShowsItsMessageThenEndsWithMinusOne) {
    ASSERT_TRUE(IpHelperDisabledForThisRun()) << "run with WINEDLLOVERRIDES=iphlpapi=d";
    ProgramProcess program;
    ASSERT_TRUE(StartProgram(ProgramPath(), program)) << GetLastError();
    const HWND message = WaitForDialog(program, 20000);
    ASSERT_NE(message, nullptr) << "no message box; main window "
                                << (WaitForMainWindow(program, 0) != nullptr ? "shown" : "absent");
    // The box exists before its text and button do: wait for them.
    const bool namesExport = PollUntil(5000, [&] {
        for (const std::wstring& text : ChildTexts(message))
            if (text.find(L"GetTcpTable") != std::wstring::npos) return true;
        return false;
    });
    EXPECT_TRUE(namesExport) << "the message does not name GetTcpTable";
    const HWND window = WaitForMainWindow(program, 0);
    EXPECT_TRUE(window == nullptr || !IsWindowVisible(window)) << "the main window is shown beside the message";
    EXPECT_FALSE(WaitForExit(program, 300).has_value()) << "ended before the message was dismissed";

    HWND button = nullptr;
    PollUntil(5000, [&] { return (button = FindWindowExW(message, nullptr, L"Button", nullptr)) != nullptr; });
    ASSERT_NE(button, nullptr);
    PostMessageW(button, BM_CLICK, 0, 0);
    const auto ended = WaitForExit(program, 10000);
    ASSERT_TRUE(ended.has_value()) << "still running after the message was dismissed";
    EXPECT_EQ(*ended, static_cast<DWORD>(-1));
}

}  // namespace
