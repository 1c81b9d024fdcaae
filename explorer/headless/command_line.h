// Zelmar's command line: what a run without a window is asked to do, read
// from the arguments, with the reason when they make no sense. Reading the
// arguments touches nothing on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chosen_view.h"

namespace explorer::headless {

struct CommandLine {
    enum class Action { Help, Version, Render, Sequence };
    Action action = Action::Render;
    std::string out;                // the picture, or for a sequence the pattern with one %d
    std::optional<BoundTexts> view; // decimal numbers of any length
    std::string openView;
    std::int32_t width = 1080, height = 810;
    bool sizeGiven = false;                 // else an opened view's picture keeps its size
    std::optional<std::int32_t> iterations; // else 256, or the opened view's
    int threads = 0;                        // 0: every hardware thread
    bool quiet = false;
    std::int32_t frames = 0;
    BoundTexts from{}, to{};
    std::int32_t shard = 0, shards = 1;
};

struct ParsedCommandLine {
    std::optional<CommandLine> command; // or else:
    std::string error;                  // one line, without the usage
};

// The arguments after the program's name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Whether these arguments ask for the command line rather than the window:
// any argument that begins with "--" does, and "-h".
bool WantsCommandLine(const std::vector<std::string>& args);

// The one usage line, and the whole help.
extern const char* const UsageLine;
std::string HelpText();

constexpr std::int32_t LowestIterations = 16, HighestIterations = 1000000;
constexpr std::int32_t DefaultIterations = 256;
constexpr std::int32_t SmallestSide = 2, LargestSide = 16384;
constexpr std::int32_t MostFrames = 1000000;
constexpr int MostThreads = 1024;

} // namespace explorer::headless
