// The help viewer cuts a long page into screens at every draw on a
// terminal: pages of 10,000 and 100,000 lines, one link every tenth line,
// each cut for an 80x24 terminal to find the screen of the page's last line
// (the whole page walked). Prints the time of one draw's cut and its growth
// from 10,000 to 100,000 lines (10 would be linear; the larger page no
// longer fits the caches). Each figure is the best of twenty runs, as the
// machine is shared.
#include <chrono>
#include <cstdio>
#include <string>

#include "HelpTty/HelpTty.h"

namespace {

double CutMicroseconds(int lines, int* screens) {
    std::string doc = "<html><head><title>Long</title></head><body>";
    for (int i = 1; i <= lines; ++i) {
        doc += "line " + std::to_string(i);
        if (i % 10 == 0) doc += " <a href=#two>link " + std::to_string(i) + "</a>";
        doc += "<br>";
    }
    doc += "</body></html><html page=\"two\"><body>two</body></html>";
    HtmlResetDocuments();
    if (!HtmlHelp("bench", doc.c_str())) return -1;
    TtyHelpBuildMenuItems();
    const int end = int(std::char_traits<char>::length(pCurrentPage->pText)) - 1;
    double best = 1e30;
    for (int run = 0; run < 20; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        HelpScreen s = HelpFindScreen(&HelpMenu, pCurrentPage, 80, 24, end);
        auto t1 = std::chrono::steady_clock::now();
        *screens = s.Count;
        best = std::min(best, std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    return best;
}

}  // namespace

int main() {
    int small = 0, large = 0;
    const double a = CutMicroseconds(10000, &small);
    const double b = CutMicroseconds(100000, &large);
    printf("cut into 80x24 screens, 10,000 lines:  %8.0f us (%d screens)\n", a, small);
    printf("cut into 80x24 screens, 100,000 lines: %8.0f us (%d screens)\n", b, large);
    printf("growth for 10 times the lines:         %8.1f x\n", b / a);
    return 0;
}
