// Binding of GetTcpTable from the system's IP Helper library, by name, at the
// first refresh. Windows only; no window code.
#pragma once

#include <windows.h>

#include "connection/connection_refresh.h"

using GetTcpTableProc = DWORD(WINAPI*)(void* table, ULONG* size, BOOL order);

// Owns the loaded library and the export looked up in it; both stay valid
// until the owner goes. Not copyable, so the library is freed once.
struct TcpTableLibrary {
    HMODULE module = nullptr;
    GetTcpTableProc getTcpTable = nullptr;

    TcpTableLibrary() = default;
    TcpTableLibrary(const TcpTableLibrary&) = delete;
    TcpTableLibrary& operator=(const TcpTableLibrary&) = delete;
    ~TcpTableLibrary() {
        if (module != nullptr) FreeLibrary(module);
    }
};

constexpr const char kTcpTableLibraryName[] = "iphlpapi.dll";
constexpr const char kTcpTableExportName[] = "GetTcpTable";

// Loads the library on the first call and returns the bound export, the same
// one on every later call; nullptr when the library or the export is missing.
GetTcpTableProc BindGetTcpTable(TcpTableLibrary& library);

// The bound export as the refresh calls it.
TcpTableFunction TcpTableFunctionOf(GetTcpTableProc proc);
