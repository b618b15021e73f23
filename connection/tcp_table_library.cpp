#include "connection/tcp_table_library.h"

#include <string>

namespace {

// Loads a system DLL from the system folder only, never from the folder the
// executable stands in, where a planted file of the same name would run.
HMODULE LoadSystemLibrary(const char* name) {
    // LOAD_LIBRARY_SEARCH_SYSTEM32 is known to systems with KB2533623 and later;
    // older ones reject the flag with ERROR_INVALID_PARAMETER.
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::string path = std::string(folder, length) + "\\" + name;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

GetTcpTableProc BindGetTcpTable(TcpTableLibrary& library) {
    if (library.getTcpTable != nullptr) return library.getTcpTable;
    if (library.module == nullptr) library.module = LoadSystemLibrary(kTcpTableLibraryName);
    if (library.module == nullptr) return nullptr;
    library.getTcpTable =
        reinterpret_cast<GetTcpTableProc>(reinterpret_cast<void*>(GetProcAddress(library.module, kTcpTableExportName)));
    return library.getTcpTable;
}

TcpTableFunction TcpTableFunctionOf(GetTcpTableProc proc) {
    return [proc](void* table, std::uint32_t* size, bool sorted) -> std::uint32_t {
        ULONG bytes = *size;
        const DWORD status = proc(table, &bytes, sorted ? TRUE : FALSE);
        *size = bytes;
        return status;
    };
}
