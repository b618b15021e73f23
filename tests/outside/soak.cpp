// Refreshes the running program many times in a row while loopback
// connections open and close between the refreshes, and prints its memory,
// handle, GDI and USER figures along the way. Fails when they grow after the
// warm-up or when a spot check finds a list that is not the table of its
// moment. Usage: orvanta_soak [refreshes]   (10000 unless given)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "tests/outside/loopback.h"
#include "tests/outside/remote_program.h"
#include "tests/outside/table_check.h"
#include "ui/main_window.h"

namespace {

constexpr int kSamples = 20;           // figures printed along the way
constexpr int kOpenConnectionsMax = 8;  // oldest closed beyond this
// Growth allowed after the warm-up: the heap may settle in steps, while a
// leak of even a few bytes per refresh exceeds this over the full run.
constexpr SIZE_T kMemoryGrowthMax = 256 * 1024;
constexpr int kCountGrowthMax = 0;

struct Sample {
    int refreshes;
    size_t rows;  // in the list at the spot check, which other programs' connections change
    ResourceCounts counts;
    double refreshesPerSecond;
};

void Print(const Sample& s) {
    std::printf("%9d %7zu %12llu %12llu %8d %6d %6d %10.0f\n", s.refreshes, s.rows,
                static_cast<unsigned long long>(s.counts.workingSet / 1024),
                static_cast<unsigned long long>(s.counts.privateBytes / 1024), s.counts.handles, s.counts.gdiObjects, s.counts.userObjects,
                s.refreshesPerSecond);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int refreshes = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (refreshes < 100 + kSamples) {
        std::fprintf(stderr, "at least %d refreshes\n", 100 + kSamples);
        return 2;
    }
    const int warmUp = std::max(refreshes / 10, 100);
    const int sampleEvery = (refreshes - warmUp) / kSamples;

    Winsock winsock;
    ProgramProcess program;
    if (!winsock.started || !StartProgram(ProgramPath(), program)) {
        std::fprintf(stderr, "cannot start the program (%lu)\n", GetLastError());
        return 1;
    }
    const HWND window = WaitForMainWindow(program, 20000);
    if (window == nullptr) {
        std::fprintf(stderr, "the program's window did not appear\n");
        return 1;
    }
    const HWND refreshButton = GetDlgItem(window, 刷新);
    const WPARAM refreshClick = MAKEWPARAM(刷新, BN_CLICKED);

    // Counting reads the program's GDI table where GetGuiResources is missing,
    // which brings its pages in once; done here, before the warm-up ends.
    CountResources(program);

    Socket listener = Listen("127.0.0.2");
    std::deque<Connection> open;
    int failures = 0;
    std::vector<Sample> samples;
    ULONGLONG since = GetTickCount64();
    int sinceRefreshes = 0;

    std::printf("%d refreshes, %d of them warm-up\n", refreshes, warmUp);
    std::printf("%9s %7s %12s %12s %8s %6s %6s %10s\n", "refreshes", "rows", "working KB", "private KB", "handles", "GDI",
                "USER", "refresh/s");
    for (int done = 1; done <= refreshes; ++done) {
        // Between refreshes the table changes: a connection opens on two of
        // every three, and the oldest closes once enough are open.
        if (done % 3 != 0) open.push_back(Connect("127.0.0.2", listener));
        if (static_cast<int>(open.size()) > kOpenConnectionsMax) open.pop_front();

        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, WM_COMMAND, refreshClick, reinterpret_cast<LPARAM>(refreshButton),
                                 SMTO_ABORTIFHUNG, 10000, &result)) {
            std::fprintf(stderr, "refresh %d was not handled\n", done);
            return 1;
        }
        if (done >= warmUp && (done - warmUp) % sampleEvery == 0) {
            const ULONGLONG now = GetTickCount64();
            const double rate = now > since ? 1000.0 * (done - sinceRefreshes) / static_cast<double>(now - since) : 0;
            // The check first: reading the list makes the system commit
            // memory and open handles in the program once, which the first
            // figures then already include.
            const TableCheck check = RefreshAndCompare(program, window, false);
            if (!check.matched) {
                ++failures;
                std::printf("spot check after %d refreshes: %s\n", done, check.problem.c_str());
            }
            samples.push_back({done, check.list.size(), CountResources(program), rate});
            Print(samples.back());
            since = GetTickCount64();
            sinceRefreshes = done;
        }
    }

    const Sample& first = samples.front();
    const Sample& last = samples.back();
    SIZE_T peakPrivate = 0, peakWorking = 0;
    for (const Sample& s : samples) {
        peakPrivate = std::max(peakPrivate, s.counts.privateBytes);
        peakWorking = std::max(peakWorking, s.counts.workingSet);
    }
    std::printf("counted with %s\n", first.counts.how.c_str());
    std::printf("after warm-up: private %+lld KB, working set %+lld KB, handles %+d, GDI %+d, USER %+d; %d spot checks, %d failed\n",
                (static_cast<long long>(last.counts.privateBytes) - static_cast<long long>(first.counts.privateBytes)) / 1024,
                (static_cast<long long>(last.counts.workingSet) - static_cast<long long>(first.counts.workingSet)) / 1024,
                last.counts.handles - first.counts.handles, last.counts.gdiObjects - first.counts.gdiObjects,
                last.counts.userObjects - first.counts.userObjects, static_cast<int>(samples.size()), failures);

    bool flat = peakPrivate <= first.counts.privateBytes + kMemoryGrowthMax;
    for (const Sample& s : samples)
        flat = flat && s.counts.handles <= first.counts.handles + kCountGrowthMax &&
               s.counts.gdiObjects <= first.counts.gdiObjects + kCountGrowthMax &&
               s.counts.userObjects <= first.counts.userObjects + kCountGrowthMax;
    if (!flat) std::printf("NOT FLAT: the program's resources grew after the warm-up\n");

    PostClick(window, 退出);
    const auto status = WaitForExit(program, 10000);
    if (!status || *status != 0) {
        std::printf("the program did not end with status 0 on 退出\n");
        return 1;
    }
    return flat && failures == 0 ? 0 : 1;
}
