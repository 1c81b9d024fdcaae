// The command line's run (see run_command_line.h). A picture is written only
// whole, through the toolkit's temporary-file-and-rename save; SIGINT, SIGTERM
// and SIGHUP stop the render after its row, and no file is left behind.
#include "run_command_line.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <unistd.h>

#include <csignal>
#include <optional>
#include <cstdio>
#include <thread>

#include "command_line.h"
#include "deep_sequence.h"
#include "explorer/view_export.h"
#include "headless_render.h"
#include "progress.h"
#include "toolkit/file_save.h"
#include "toolkit/pictures.h"
#include "toolkit/runtime_error.h"
#include "zoom_sequence.h"

#ifndef ZELMAR_VERSION
#define ZELMAR_VERSION "unknown"
#endif

namespace explorer::headless {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void noteStopSignal(int signal)
{
    stopSignal = signal;
}

void catchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored on entry (nohup, a shell's background job) stays
        // ignored, as the one who started us asked.
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

// A failure that ends the run with its status and one line on stderr.
struct Failure {
    int status;
    std::string reason;
};

QString path(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

// What can be known about OUT before drawing: its folder is there and may be
// written into, and OUT is not something other than a file.
void checkTarget(const std::string& name)
{
    const QString out = path(name);
    const QFileInfo info(out);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw Failure{2,
                      "'" + name + "': the folder '" + folder.toStdString() + "' does not exist"};
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        throw Failure{2, "'" + name + "': the folder '" + folder.toStdString() +
                             "' cannot be written into"};
    if (const QString kind = tk::SpecialFileKind(out); !kind.isEmpty())
        throw Failure{2, "'" + name + "' is " + kind.toStdString() + ", not a file"};
}

void interruptedBy(const std::string& what)
{
    throw Failure{128 + int(stopSignal), "interrupted; " + what};
}

void save(const QImage& image, const std::string& name)
{
    try {
        tk::SavePicture(image, path(name), "png");
    } catch (const tk::RuntimeError& e) {
        throw Failure{1, e.description().toStdString()};
    }
}

RenderRequest requestFor(const CommandLine& c, const ChosenView& view, std::int32_t maxIter)
{
    const int threads =
        c.threads > 0 ? c.threads : int(std::max(1u, std::thread::hardware_concurrency()));
    return {view.doubles, c.width, c.height, maxIter, threads, view.deep};
}

const char* stageName(deep::DeepStage stage)
{
    switch (stage) {
    case deep::DeepStage::ReferenceOrbit:
        return "reference orbit";
    case deep::DeepStage::BlaTable:
        return "approximation table";
    case deep::DeepStage::Pixels:
        break;
    }
    return "pixels";
}

QImage render(const RenderRequest& request, Progress& progress, const std::string& name)
{
    try {
        return RenderViewPicture(
            request,
            [&] {
                progress.advance();
                return stopSignal == 0;
            },
            [&](deep::DeepStage stage, double fraction) {
                progress.stage("deep: " + std::string(stageName(stage)), int(fraction * 100));
                return stopSignal == 0;
            });
    } catch (const RenderStopped&) {
        progress.finish();
        interruptedBy("'" + name + "' was not written");
    } catch (const std::runtime_error& e) { // the view overflows, or is refused
        progress.finish();
        throw Failure{1, "'" + name + "': " + e.what()};
    } catch (const tk::RuntimeError& e) {
        progress.finish();
        throw Failure{1, "'" + name + "': " + e.description().toStdString()};
    }
    return {};
}

ChosenView chosen(const BoundTexts& texts, const CommandLine& c, const char* option)
{
    std::string why;
    const auto view = ChooseView(texts, c.width, c.height, &why);
    if (!view)
        throw Failure{2, std::string(option) + ": " + why};
    return *view;
}

void renderOne(CommandLine c)
{
    ChosenView view{{-4, 4, -3, 3}, std::nullopt, true};
    std::int32_t maxIter = c.iterations.value_or(DefaultIterations);
    if (!c.openView.empty()) {
        std::optional<SavedView> saved;
        try {
            saved = ReadSavedView(path(c.openView));
        } catch (const tk::RuntimeError& refused) {
            // Missing, not a file, not a picture: the reason File > Open gives.
            throw Failure{1, "'" + c.openView + "' cannot be read as a view: " +
                                 refused.description().toStdString()};
        }
        if (!saved)
            throw Failure{1, "'" + c.openView +
                                 "' cannot be read as a view (only PNG files from Export "
                                 "View or --render carry one)"};
        view = {{saved->view.xMin, saved->view.xMax, saved->view.yMin, saved->view.yMax},
                saved->deep};
        maxIter = c.iterations.value_or(saved->maxIter);
        // Drawn again at the size it was drawn, unless told otherwise.
        const QSize size = QImageReader(path(c.openView), "png").size();
        if (!c.sizeGiven && size.width() >= SmallestSide && size.width() <= LargestSide &&
            size.height() >= SmallestSide && size.height() <= LargestSide) {
            c.width = size.width();
            c.height = size.height();
        }
    } else if (c.view) {
        view = chosen(*c.view, c, "--view");
    }
    checkTarget(c.out);
    Progress progress(Progress::styleFor(c.quiet), c.height);
    const QImage image = render(requestFor(c, view, maxIter), progress, c.out);
    save(image, c.out);
    progress.finish();
    if (stopSignal)
        interruptedBy("'" + c.out + "' was written whole");
}

void renderSequence(const CommandLine& c)
{
    const std::int32_t maxIter = c.iterations.value_or(DefaultIterations);
    const ChosenView from = chosen(c.from, c, "--from"), to = chosen(c.to, c, "--to");
    const auto frameRequest = [&](std::int32_t i) {
        std::string why;
        const auto view = FrameOfSequence(from, to, c.frames, i, c.width, c.height, &why);
        if (!view)
            throw Failure{1, "frame " + std::to_string(i) + ": " + why};
        return requestFor(c, *view, maxIter);
    };
    std::vector<std::int32_t> todo;
    std::int32_t skipped = 0;
    for (std::int32_t i = c.shard; i < c.frames; i += c.shards) {
        const std::string name = FrameName(c.out, i);
        checkTarget(name);
        if (HoldsPicture(path(name), frameRequest(i)))
            ++skipped;
        else
            todo.push_back(i);
        if (stopSignal)
            interruptedBy("no frame was written");
    }
    const Progress::Style style = Progress::styleFor(c.quiet);
    if (style != Progress::Style::Quiet && skipped > 0)
        std::fprintf(stderr, "Zelmar: %d frame(s) already complete, %zu to draw\n", int(skipped),
                     todo.size());
    Progress progress(style, std::int64_t(todo.size()) * c.height);
    std::size_t drawn = 0;
    for (const std::int32_t i : todo) {
        const std::string name = FrameName(c.out, i);
        progress.setLabel("frame " + std::to_string(drawn + 1) + " of " +
                          std::to_string(todo.size()));
        const QImage image = render(frameRequest(i), progress, name);
        save(image, name);
        ++drawn;
        if (stopSignal) {
            progress.finish();
            interruptedBy(std::to_string(drawn) + " frame(s) written whole, run again to go on");
        }
    }
    progress.finish();
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args)
{
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.command) {
        std::fprintf(stderr, "Zelmar: %s\n%s\n", parsed.error.c_str(), UsageLine);
        return 2;
    }
    const CommandLine& c = *parsed.command;
    switch (c.action) {
    case CommandLine::Action::Help:
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("Zelmar %s\n", ZELMAR_VERSION);
        return 0;
    default:
        break;
    }
    catchStopSignals();
    try {
        if (c.action == CommandLine::Action::Sequence)
            renderSequence(c);
        else
            renderOne(c);
    } catch (const Failure& f) {
        std::fprintf(stderr, "Zelmar: %s\n", f.reason.c_str());
        if (f.status == 2)
            std::fprintf(stderr, "%s\n", UsageLine);
        return f.status;
    }
    return 0;
}

} // namespace explorer::headless
