// Compares the program's list with the system's TCP table of the same moment.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/outside/loopback.h"
#include "tests/outside/remote_program.h"

struct TableCheck {
    bool matched = false;
    int attempts = 0;
    std::vector<ListRow> list;   // as the program shows it, top to bottom
    std::vector<ListRow> table;  // the system's, filtered as the list must be
    std::string problem;
};

// Runs `refresh` (a click that makes the program refresh), reads the list and
// compares it with the system's table read just before and just after; when
// the table changed meanwhile, which other programs' connections can cause,
// it tries again with a click on 刷新. The list must hold exactly the table's
// rows, each once, in descending order of the local address text.
TableCheck RefreshAndCompare(const ProgramProcess& program, HWND window, bool filtered,
                             const std::function<bool()>& refresh);

// The same with a click on 刷新 as the refresh.
TableCheck RefreshAndCompare(const ProgramProcess& program, HWND window, bool filtered);

std::string Describe(const std::vector<ListRow>& rows);
