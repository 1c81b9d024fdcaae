// The deep pass drawn as its rows come against the same pass waiting for
// every level first, through the window on the offscreen platform: the
// time to the first row on the canvas, the whole pass, and the longest
// time without a turn of events; as ratios of the two in the same run, and
// whether both leave the same grids and canvas.
#include <QApplication>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "explorer/engine/deep/deep_view.h"
#include "explorer/explorer_features.h"
#include "explorer_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BenchView {
    const char* name;
    std::string xMin, xMax, yMin, yMax;
    int maxIter;
};

struct Run {
    double firstRowMs = 0, totalMs = 0, longestGapMs = 0;
    std::vector<std::uint8_t> levels, done;
    QImage canvas;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

Run drawOnce(const BenchView& v, int width, int height, bool allAtOnce)
{
    auto form = testing_support::makeExplorer(width, height);
    form->MaxIter = v.maxIter;
    form->DeepPass.waitForAllRows = allAtOnce;
    const auto view = explorer::deep::DeepView::fromText(v.xMin, v.xMax, v.yMin, v.yMax);
    Run run;
    Clock::time_point click{}, firstRow{}, lastTurn{};
    QTimer turn; // a zero timer fires at every turn of events
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        run.longestGapMs = std::max(run.longestGapMs, ms(now - lastTurn));
        lastTurn = now;
    });
    QObject::connect(form.get(), &explorer::Form1::rowDrawn, [&](std::int32_t row) {
        if (row == 0)
            firstRow = Clock::now();
    });
    click = lastTurn = Clock::now();
    turn.start(0);
    explorer::ShowAndDraw(*form, *view);
    turn.stop();
    run.totalMs = ms(Clock::now() - click);
    run.firstRowMs = ms(firstRow - click);
    run.levels = form->LevelGrid.data;
    run.done = form->DoneGrid.data;
    run.canvas = form->Picture1->image();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int width = argc > 1 ? std::atoi(argv[1]) : 640;
    const int height = width * 3 / 4;
    const BenchView views[] = {
        // The seahorse valley just past what doubles resolve: set, traces.
        {"seahorse-4e-15", "-0.743643887037160704752191506114774",
         "-0.743643887037156704752191506114774", "0.131825904205310470493132056385139",
         "0.131825904205313470493132056385139", 20000},
        // About c = i at 4e-100: every pixel escapes, a long reference.
        {"i-4e-100", "-2e-100", "2e-100", ("0." + std::string(99, '9') + "85").c_str(),
         ("1." + std::string(99, '0') + "15").c_str(), 20000},
    };
    std::printf("%-16s %-12s %12s %12s %12s\n", "view", "pass", "first row ms", "total ms",
                "longest gap");
    for (const BenchView& v : views) {
        Run best[2];
        for (int repeat = 0; repeat < 3; ++repeat)
            for (int mode = 0; mode < 2; ++mode) {
                Run r = drawOnce(v, width, height, mode == 1);
                if (repeat == 0 || r.totalMs < best[mode].totalMs)
                    best[mode] = std::move(r);
            }
        for (int mode = 0; mode < 2; ++mode)
            std::printf("%-16s %-12s %12.1f %12.1f %12.1f\n", v.name,
                        mode ? "all at once" : "progressive", best[mode].firstRowMs,
                        best[mode].totalMs, best[mode].longestGapMs);
        const bool same = best[0].levels == best[1].levels && best[0].done == best[1].done &&
                          best[0].canvas == best[1].canvas;
        std::printf("%-16s first row %.3f x, total %.3f x of all at once; same picture: %s\n",
                    v.name, best[0].firstRowMs / best[1].firstRowMs,
                    best[0].totalMs / best[1].totalMs, same ? "yes" : "NO");
    }
    return 0;
}
