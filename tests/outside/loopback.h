// The TCP table as the system reports it to this process, formatted as the
// list shows it, and the loopback sockets the outside-in tests open.
#pragma once

#include <string>
#include <vector>

#include "tests/loopback_sockets.h"
#include "tests/outside/remote_program.h"

// The rows a list of this connection table shows, from GetTcpTable called here.
std::vector<ListRow> SystemRows();

// The rows with a hidden local address (0.0.0.0, 127.0.0.1) left out.
std::vector<ListRow> WithoutHiddenLocalAddresses(std::vector<ListRow> rows);

// The same rows in one fixed order, to compare two tables as sets of rows.
std::vector<ListRow> Sorted(std::vector<ListRow> rows);

bool Contains(const std::vector<ListRow>& rows, const ListRow& row);
