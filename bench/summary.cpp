// The render benchmark's summary lines (see summary.h).
#include "summary.h"

#include <cstdio>

namespace zelmar_bench {

std::map<std::string, bool> sameAsReference;
std::map<std::string, bool> deepIdentical;
std::map<std::string, Responsiveness> responsiveness;
std::map<std::string, double> peakMemory;

std::string goKey(const NamedView& v, const Canvas& canvas, int limit)
{
    return (limit == 256 ? std::string(v.name) : DeepMillionPrefix + std::string(v.name)) + " " +
           canvas.name();
}

std::string millis(const std::map<std::string, double>& ms, const std::string& name)
{
    const auto it = ms.find(name);
    if (it == ms.end())
        return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", it->second);
    return text;
}

void printSummary(const SummaryReporter& reporter, const std::vector<Canvas>& canvases)
{
    std::printf("\n");
    for (const Canvas& canvas : canvases)
        for (const NamedView& v : Views) {
            const std::string suffix = std::string("/") + v.name + "/" + canvas.name();
            const std::string key = std::string(v.name) + " " + canvas.name();
            const auto scalar = reporter.ms.find("scalar" + suffix);
            const auto fast = reporter.ms.find("fast" + suffix);
            const auto go = reporter.ms.find("go" + suffix);
            const auto peer = reporter.ms.find("peer" + suffix);
            if (scalar == reporter.ms.end() && fast == reporter.ms.end() &&
                go == reporter.ms.end() && peer == reporter.ms.end())
                continue; // filtered out
            std::string speedup = "n/a";
            if (scalar != reporter.ms.end() && fast != reporter.ms.end()) {
                char text[32];
                std::snprintf(text, sizeof text, "%.1f", scalar->second / fast->second);
                speedup = text;
            }
            // Identical only when every pass that ran matched the reference.
            bool identical = true, checked = false;
            for (const char* kind : {" fast", " go"}) {
                const auto it = sameAsReference.find(key + kind);
                if (it != sameAsReference.end()) {
                    checked = true;
                    identical = identical && it->second;
                }
            }
            std::string firstRow = "n/a", maxGap = "n/a";
            if (const auto it = responsiveness.find(key); it != responsiveness.end()) {
                char text[32];
                std::snprintf(text, sizeof text, "%.1f", it->second.firstRowMs);
                firstRow = text;
                std::snprintf(text, sizeof text, "%.1f", it->second.maxGapMs);
                maxGap = text;
            }
            std::printf("render view=%s canvas=%s scalar_ms=%s fast_ms=%s go_ms=%s peer_ms=%s "
                        "first_row_ms=%s max_gap_ms=%s speedup=%s identical=%s\n",
                        v.name, canvas.name().c_str(),
                        millis(reporter.ms, "scalar" + suffix).c_str(),
                        millis(reporter.ms, "fast" + suffix).c_str(),
                        millis(reporter.ms, "go" + suffix).c_str(),
                        millis(reporter.ms, "peer" + suffix).c_str(), firstRow.c_str(),
                        maxGap.c_str(), speedup.c_str(),
                        !checked    ? "n/a"
                        : identical ? "yes"
                                    : "no");
        }
    for (const NamedView& v : Views)
        for (const char* name : DeepViews)
            if (std::string(v.name) == name) {
                const std::string suffix = std::string("/") + v.name + "/" + canvases[0].name();
                const auto plain = reporter.ms.find(DeepPrefix + "plain" + suffix);
                const auto fast = reporter.ms.find(DeepPrefix + "fast" + suffix);
                if (plain == reporter.ms.end() && fast == reporter.ms.end())
                    continue; // filtered out
                std::string speedup = "n/a";
                if (plain != reporter.ms.end() && fast != reporter.ms.end()) {
                    char text[32];
                    std::snprintf(text, sizeof text, "%.1f", plain->second / fast->second);
                    speedup = text;
                }
                const auto same =
                    deepIdentical.find(std::string(v.name) + " " + canvases[0].name());
                std::printf("deep view=%s canvas=%s max_iter=%d plain_ms=%s fast_ms=%s "
                            "speedup=%s identical=%s\n",
                            v.name, canvases[0].name().c_str(), DeepLimit,
                            millis(reporter.ms, DeepPrefix + "plain" + suffix).c_str(),
                            millis(reporter.ms, DeepPrefix + "fast" + suffix).c_str(),
                            speedup.c_str(),
                            same == deepIdentical.end() ? "n/a"
                            : same->second              ? "yes"
                                                        : "no");
            }
    // One thread: the pass's engine and the peer each on one.
    for (const Canvas& canvas : canvases)
        for (const NamedView& v : Views) {
            const std::string suffix = std::string("/") + v.name + "/" + canvas.name();
            const std::string key = std::string(v.name) + " " + canvas.name();
            const auto fast1 = reporter.ms.find("fast1" + suffix);
            const auto fast = reporter.ms.find("fast" + suffix);
            if (fast1 == reporter.ms.end())
                continue; // filtered out
            const auto same = sameAsReference.find(key + " fast1");
            std::string scaling = "n/a";
            if (fast != reporter.ms.end()) {
                char text[32];
                std::snprintf(text, sizeof text, "%.2f", fast1->second / fast->second);
                scaling = text;
            }
            std::printf("render view=%s canvas=%s threads=1 fast_ms=%s peer_ms=%s "
                        "all_threads_speedup=%s identical=%s\n",
                        v.name, canvas.name().c_str(),
                        millis(reporter.ms, "fast1" + suffix).c_str(),
                        millis(reporter.ms, "peer1" + suffix).c_str(), scaling.c_str(),
                        same == sameAsReference.end() ? "n/a"
                        : same->second                ? "yes"
                                                      : "no");
        }
    for (const NamedView& v : Views)
        for (const char* name : DeepViews)
            if (std::string(v.name) == name) {
                const std::string key = goKey(v, canvases[1], MillionLimit);
                const auto r = responsiveness.find(key);
                if (r == responsiveness.end())
                    continue; // filtered out
                const auto same = sameAsReference.find(key + " go");
                std::printf("render view=%s%s canvas=%s max_iter=%d go_ms=%s first_row_ms=%.1f "
                            "max_gap_ms=%.1f identical=%s\n",
                            DeepMillionPrefix.c_str(), v.name, canvases[1].name().c_str(),
                            MillionLimit,
                            millis(reporter.ms,
                                   "go/" + DeepMillionPrefix + v.name + "/" + canvases[1].name())
                                .c_str(),
                            r->second.firstRowMs, r->second.maxGapMs,
                            same == sameAsReference.end() ? "n/a"
                            : same->second                ? "yes"
                                                          : "no");
            }
    for (const auto& [key, mb] : peakMemory)
        std::printf("memory %s peak_rss_mb=%.1f\n", key.c_str(), mb);
}

} // namespace zelmar_bench
