#include "tests/outside/table_check.h"

#include <algorithm>

#include "ui/main_window.h"

namespace {

constexpr int kAttempts = 20;

std::string DescendingOrderProblem(const std::vector<ListRow>& list) {
    for (size_t i = 1; i < list.size(); ++i)
        if (list[i - 1][0] < list[i][0])
            return "row " + std::to_string(i) + " (" + list[i][0] + ") stands below " + list[i - 1][0];
    return {};
}

}  // namespace

TableCheck RefreshAndCompare(const ProgramProcess& program, HWND window, bool filtered,
                             const std::function<bool()>& refresh) {
    TableCheck check;
    const HWND list = GetDlgItem(window, 列表框);
    for (check.attempts = 1; check.attempts <= kAttempts; ++check.attempts) {
        const auto filter = [&](std::vector<ListRow> rows) {
            return Sorted(filtered ? WithoutHiddenLocalAddresses(std::move(rows)) : std::move(rows));
        };
        const std::vector<ListRow> before = filter(SystemRows());
        const bool refreshed = check.attempts == 1 ? refresh() : Click(window, 刷新);
        if (!refreshed) {
            check.problem = "the click was not handled";
            return check;
        }
        const auto shown = ReadListRows(program.info.hProcess, list);
        const std::vector<ListRow> after = filter(SystemRows());
        if (!shown || before != after) continue;
        check.list = *shown;
        check.table = after;
        check.problem = DescendingOrderProblem(check.list);
        if (check.problem.empty() && Sorted(check.list) != check.table)
            check.problem = "the list differs from the system's table";
        check.matched = check.problem.empty();
        return check;
    }
    check.problem = "the system's table kept changing";
    return check;
}

TableCheck RefreshAndCompare(const ProgramProcess& program, HWND window, bool filtered) {
    return RefreshAndCompare(program, window, filtered, [&] { return Click(window, 刷新); });
}

std::string Describe(const std::vector<ListRow>& rows) {
    std::string text;
    for (const ListRow& r : rows) text += "  " + r[0] + ":" + r[1] + " -> " + r[2] + ":" + r[3] + " " + r[4] + "\n";
    return text;
}
