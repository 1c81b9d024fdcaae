// Progress on standard error (see progress.h).
#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace explorer::headless {

Progress::Style Progress::styleFor(bool quiet)
{
    if (quiet)
        return Style::Quiet;
    return isatty(STDERR_FILENO) ? Style::Bar : Style::Lines;
}

Progress::Progress(Style style, std::int64_t totalRows)
    : style_(style), total_(totalRows > 0 ? totalRows : 1),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_)
{
}

void Progress::advance(std::int64_t rows)
{
    done_ += rows;
    if (style_ == Style::Bar) {
        drawBar(false);
    } else if (style_ == Style::Lines) {
        const int tenths = int(done_ * 10 / total_);
        if (tenths > tenthsShown_) {
            tenthsShown_ = tenths;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            std::fprintf(stderr, "Zelmar: %d %% (%lld of %lld rows, %.1f s)%s%s\n", tenths * 10,
                         static_cast<long long>(done_), static_cast<long long>(total_), seconds,
                         label_.empty() ? "" : " ", label_.c_str());
            std::fflush(stderr);
        }
    }
}

void Progress::stage(const std::string& what, int percent)
{
    if (style_ == Style::Bar) {
        stage_ = what + " " + std::to_string(percent) + " %";
        drawBar(false);
        stage_.clear();
    } else if (style_ == Style::Lines && what != stage_) {
        stage_ = what;
        std::fprintf(stderr, "Zelmar: %s%s%s\n", what.c_str(), label_.empty() ? "" : " ",
                     label_.c_str());
        std::fflush(stderr);
    }
}

void Progress::drawBar(bool force)
{
    const auto now = std::chrono::steady_clock::now();
    // A redraw ten times a second is smooth enough and costs nothing.
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = now;
    drawn_ = true;
    constexpr int BarWidth = 30;
    const int filled = int(done_ * BarWidth / total_);
    char bar[BarWidth + 1];
    for (int i = 0; i < BarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[BarWidth] = 0;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    // No estimate before the first row: work before the rows says nothing
    // about them.
    char rest[40] = "";
    if (done_ > 0)
        std::snprintf(rest, sizeof rest, ", about %.1f s left",
                      seconds * double(total_ - done_) / double(done_));
    std::fprintf(stderr, "\r[%s] %3d %%  %lld/%lld rows  %.1f s%s  %s%s%s\033[K", bar,
                 int(done_ * 100 / total_), static_cast<long long>(done_),
                 static_cast<long long>(total_), seconds, rest, label_.c_str(),
                 label_.empty() || stage_.empty() ? "" : ", ", stage_.c_str());
    std::fflush(stderr);
}

void Progress::finish()
{
    if (style_ == Style::Bar && drawn_) {
        drawBar(true);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
}

} // namespace explorer::headless
