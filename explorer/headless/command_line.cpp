// Reading Zelmar's command-line arguments (see command_line.h).
#include "command_line.h"

#include <charconv>
#include <cmath>
#include <set>

#include "deep_sequence.h"

namespace explorer::headless {

const char* const UsageLine =
    "Usage: Zelmar --render OUT.png [--view XMIN XMAX YMIN YMAX | --open-view IN.png | "
    "--frames N --from XMIN XMAX YMIN YMAX --to XMIN XMAX YMIN YMAX [--shard K/M]] "
    "[--size WxH] [--iterations N] [--threads N] [--quiet] [--help] [--version]";

std::string HelpText()
{
    return std::string(UsageLine) + "\n\n" +
           "Draws the explorer's picture of a view without a window and writes it as a PNG\n"
           "that File > Open View reads back.\n\n"
           "  --render OUT.png        the picture to write (replaced only when complete)\n"
           "  --view XMIN XMAX YMIN YMAX\n"
           "                          the view (default: -4 4 -3 3, the start view); numbers\n"
           "                          of any length: a view deeper than doubles resolve is\n"
           "                          drawn by deep zoom and keeps every digit\n"
           "  --open-view IN.png      the view and limit of a picture from Export View\n"
           "  --size WxH              canvas in pixels, 2 to 16384 a side (default 1080x810,\n"
           "                          or the size of the --open-view picture)\n"
           "  --iterations N          iteration limit, 16 to 1000000 (default 256, or the\n"
           "                          opened view's)\n"
           "  --threads N             threads to use (default: every hardware thread)\n"
           "  --quiet                 no progress on standard error\n"
           "  --frames N              a zoom sequence of N frames from the --from view to\n"
           "                          the --to view; OUT is then a name with one %d (e.g.\n"
           "                          %05d) for the frame number, from 0\n"
           "  --shard K/M             only the frames whose number is K modulo M\n"
           "  --help (-h), --version\n\n"
           "Frames already on disk and complete are skipped, so a sequence can be stopped\n"
           "and started again. Exit status: 0 done, 1 the view overflows, the view file\n"
           "cannot be read or a picture cannot be written, 2 bad arguments, 130/143\n"
           "interrupted.\n";
}

bool WantsCommandLine(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
        if (a.rfind("--", 0) == 0 || a == "-h")
            return true;
    return false;
}

namespace {

struct BadArguments {
    std::string reason;
};

// A number for an option's value test: what may follow an option that
// expects a value rather than being the next option ("--5" is neither).
bool number(const std::string& text)
{
    return IsDecimalNumber(text);
}

std::optional<long long> integer(std::string_view text)
{
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

class Reader {
public:
    explicit Reader(const std::vector<std::string>& args) : args_(args) {}
    bool more() const { return next_ < args_.size(); }
    const std::string& take() { return args_[next_++]; }
    const std::string& value(const std::string& option, const char* what)
    {
        if (!more() || (args_[next_].rfind("--", 0) == 0 && !number(args_[next_])))
            throw BadArguments{option + " needs " + what};
        return take();
    }
    // Four decimal numbers of any length (up to what the fields take).
    BoundTexts view(const std::string& option)
    {
        BoundTexts v;
        static const char* const names[4] = {"XMIN", "XMAX", "YMIN", "YMAX"};
        for (int i = 0; i < 4; ++i) {
            if (!more())
                throw BadArguments{option + " needs four numbers: XMIN XMAX YMIN YMAX"};
            const std::string& text = take();
            if (text.size() > deep::MaxFieldCharacters)
                throw BadArguments{option + " " + names[i] + ": more than " +
                                   std::to_string(deep::MaxFieldCharacters) +
                                   " characters, more than the explorer takes"};
            if (!number(text))
                throw BadArguments{option + " " + names[i] + ": '" + text +
                                   "' is not a finite number"};
            v[std::size_t(i)] = text;
        }
        return v;
    }
    long long whole(const std::string& option, long long lowest, long long highest)
    {
        const std::string& text = value(option, "a whole number");
        const auto n = integer(text);
        if (!n || *n < lowest || *n > highest)
            throw BadArguments{option + ": '" + text + "' is not a whole number from " +
                               std::to_string(lowest) + " to " + std::to_string(highest)};
        return *n;
    }

private:
    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
};

// The sequence's two ends: as doubles when both are typed as doubles (as
// the check always was, an extent beyond the doubles' range refused), else
// compared exactly.
bool sameOrientation(const BoundTexts& from, const BoundTexts& to)
{
    bool plain = true;
    double v[8] = {};
    for (int i = 0; i < 8; ++i) {
        const std::string& text = (i < 4 ? from : to)[std::size_t(i % 4)];
        const auto d = NearestDouble(text);
        plain = plain && d && !LongerThanDoubles(text);
        v[i] = d.value_or(0);
    }
    if (plain) {
        const double w0 = v[1] - v[0], w1 = v[5] - v[4], h0 = v[3] - v[2], h1 = v[7] - v[6];
        const auto sameSign = [](double a, double b) {
            return std::isfinite(a) && std::isfinite(b) && ((a > 0 && b > 0) || (a < 0 && b < 0));
        };
        return sameSign(w0, w1) && sameSign(h0, h1);
    }
    // Any canvas will do: only the bounds' order is looked at.
    std::string why;
    const auto a = ChooseView(from, LargestSide, LargestSide, &why);
    if (!a && why.find("no width") == std::string::npos)
        throw BadArguments{"--from: " + why};
    const auto b = ChooseView(to, LargestSide, LargestSide, &why);
    if (!b && why.find("no width") == std::string::npos)
        throw BadArguments{"--to: " + why};
    return a && b && SameOrientation(*a, *b);
}

// Exactly one printf conversion for the frame number (%d, %5d, %05d), any
// number of "%%".
bool framePattern(const std::string& pattern)
{
    int conversions = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == '0')
            ++j;
        std::size_t digits = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) &&
               digits < 2)
            ++j, ++digits;
        if (j >= pattern.size() || pattern[j] != 'd')
            return false;
        ++conversions;
        i = j;
    }
    return conversions == 1;
}

CommandLine parse(const std::vector<std::string>& args)
{
    CommandLine c;
    Reader in(args);
    std::set<std::string> seen;
    bool help = false, version = false;
    bool fromGiven = false, toGiven = false, shardGiven = false;
    while (in.more()) {
        std::string option = in.take();
        if (option == "-h")
            option = "--help";
        if (option.rfind("--", 0) != 0)
            throw BadArguments{"unexpected argument '" + option + "'"};
        if (!seen.insert(option).second)
            throw BadArguments{option + " is given twice"};
        if (option == "--help") {
            help = true;
        } else if (option == "--version") {
            version = true;
        } else if (option == "--render") {
            c.out = in.value(option, "a file name");
            if (c.out.empty())
                throw BadArguments{"--render needs a file name"};
        } else if (option == "--view") {
            c.view = in.view(option);
        } else if (option == "--open-view") {
            c.openView = in.value(option, "a file name");
        } else if (option == "--size") {
            const std::string& text = in.value(option, "WxH");
            const auto x = text.find('x');
            const auto w = x == std::string::npos ? std::nullopt : integer(text.substr(0, x));
            const auto h = x == std::string::npos ? std::nullopt
                                                  : integer(std::string_view(text).substr(x + 1));
            if (!w || !h || *w < SmallestSide || *w > LargestSide || *h < SmallestSide ||
                *h > LargestSide)
                throw BadArguments{"--size: '" + text + "' is not WxH with each side from " +
                                   std::to_string(SmallestSide) + " to " +
                                   std::to_string(LargestSide) + " pixels"};
            c.width = std::int32_t(*w);
            c.sizeGiven = true;
            c.height = std::int32_t(*h);
        } else if (option == "--iterations") {
            c.iterations = std::int32_t(in.whole(option, LowestIterations, HighestIterations));
        } else if (option == "--threads") {
            c.threads = int(in.whole(option, 1, MostThreads));
        } else if (option == "--quiet") {
            c.quiet = true;
        } else if (option == "--frames") {
            c.frames = std::int32_t(in.whole(option, 1, MostFrames));
        } else if (option == "--from") {
            c.from = in.view(option);
            fromGiven = true;
        } else if (option == "--to") {
            c.to = in.view(option);
            toGiven = true;
        } else if (option == "--shard") {
            const std::string& text = in.value(option, "K/M");
            const auto slash = text.find('/');
            const auto k =
                slash == std::string::npos ? std::nullopt : integer(text.substr(0, slash));
            const auto m = slash == std::string::npos
                               ? std::nullopt
                               : integer(std::string_view(text).substr(slash + 1));
            if (!k || !m || *m < 1 || *m > MostFrames || *k < 0 || *k >= *m)
                throw BadArguments{"--shard: '" + text + "' is not K/M with 0 <= K < M"};
            c.shard = std::int32_t(*k);
            c.shards = std::int32_t(*m);
            shardGiven = true;
        } else {
            throw BadArguments{"unknown option '" + option + "'"};
        }
    }
    if (help) {
        c.action = CommandLine::Action::Help;
        return c;
    }
    if (version) {
        c.action = CommandLine::Action::Version;
        return c;
    }
    if (c.out.empty())
        throw BadArguments{"--render OUT is missing"};
    if (c.view && !c.openView.empty())
        throw BadArguments{"--view and --open-view exclude each other"};
    if (c.frames == 0) {
        if (fromGiven || toGiven || shardGiven)
            throw BadArguments{"--from, --to and --shard belong to a sequence (--frames N)"};
        return c;
    }
    c.action = CommandLine::Action::Sequence;
    if (c.view || !c.openView.empty())
        throw BadArguments{"a sequence takes --from and --to, not --view or --open-view"};
    if (!fromGiven || !toGiven)
        throw BadArguments{"a sequence needs both --from and --to"};
    if (!sameOrientation(c.from, c.to))
        throw BadArguments{"--from and --to need widths and heights that are not zero and have "
                           "the same sign"};
    if (!framePattern(c.out))
        throw BadArguments{"--render: a sequence's name needs exactly one %d (such as %05d) for "
                           "the frame number"};
    return c;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    try {
        return {parse(args), {}};
    } catch (const BadArguments& bad) {
        return {std::nullopt, bad.reason};
    }
}

} // namespace explorer::headless
