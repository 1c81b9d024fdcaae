// Headless render of one view (see headless_render.h).
#include "headless_render.h"

#include <QFile>
#include <QImageReader>

#include <atomic>
#include <chrono>
#include <thread>

#include "explorer/view_export.h"
#include "explorer/view_picture.h"
#include "chosen_view.h"
#include "start_palette.h"
#include "toolkit/numbers.h"
#include "toolkit/runtime_error.h"

namespace explorer::headless {

namespace {

// The view as the window's six fields would show it after drawing it.
SavedView SavedViewOf(const RenderRequest& r)
{
    const PlaneRect& v = r.view;
    if (r.deep) // the window's fields for a deep view, its doubles beside
        return {{v.xMin, v.xMax, v.yMin, v.yMax}, r.maxIter, FieldsOfDeepView(*r.deep), r.deep};
    QStringList fields{tk::Str(v.xMin), tk::Str(v.xMax),          tk::Str(v.yMin),
                       tk::Str(v.yMax), tk::Str(v.xMax - v.xMin), tk::Str(v.yMax - v.yMin)};
    return {{v.xMin, v.xMax, v.yMin, v.yMax}, r.maxIter, fields, std::nullopt};
}

} // namespace

deep::DeepLevels DeepPassLevels(const RenderRequest& request, const DeepStageDone& stageDone)
{
    deep::DeepOptions options;
    options.maxIter = request.maxIter;
    options.colorCycle = TracedPass::ColorCycle;
    options.threads = unsigned(std::max(request.threads, 1));
    std::atomic<bool> cancel{false}, done{false};
    std::atomic<int> stage{0};
    std::atomic<double> fraction{0};
    deep::DeepLevels result;
    std::thread worker([&] {
        result = deep::computeDeepLevels(*request.deep, request.width, request.height, options,
                                         cancel, [&](deep::DeepStage s, double f) {
                                             stage = int(s);
                                             fraction = f;
                                         });
        done = true;
    });
    // The caller's thread answers for the stop: a signal noted there is
    // seen within a few hundredths of a second, whatever stage runs.
    while (!done) {
        if (stageDone && !stageDone(deep::DeepStage(stage.load()), fraction.load()))
            cancel = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    if (cancel || result.cancelled)
        throw RenderStopped{};
    if (!result.error.empty())
        throw DeepViewRefused(result.error);
    return result;
}

QImage RenderViewPicture(const RenderRequest& request, const std::function<bool()>& rowDone,
                         const DeepStageDone& stageDone)
{
    PassLevels levels(request.threads);
    TracedPass pass(request.width, request.height, request.maxIter, levels);
    deep::DeepLevels deepLevels;
    const ChosenView chosen{request.view, request.deep};
    if (TakesDeepPass(chosen, request.width, request.height)) {
        deepLevels = DeepPassLevels(request, stageDone);
        pass.beginDeep(deepLevels);
    } else {
        pass.begin(request.view);
    }
    for (std::int32_t row = 0; row < request.height; ++row) {
        pass.evaluateRow(row);
        if (rowDone && !rowDone())
            throw RenderStopped{};
    }
    static constexpr auto Palette = StartPalette();
    return ViewPicture(pass.levels().data(), pass.done().data(), pass.width(), pass.height(),
                       Palette.data(), SavedViewOf(request));
}

bool HoldsPicture(const QString& fileName, const RenderRequest& request)
{
    // A PNG ends with its IEND chunk: length 0, type, and that type's CRC.
    static const char End[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', '\xae', 'B', '`', '\x82'};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 12 || !file.seek(file.size() - 12) ||
        file.read(12) != QByteArray(End, 12))
        return false;
    file.close();
    const QSize size = QImageReader(fileName, "png").size();
    if (size != QSize(request.width, request.height))
        return false;
    std::optional<SavedView> saved;
    try {
        saved = ReadSavedView(fileName);
    } catch (const tk::RuntimeError&) {
        return false; // drawn again, and written whole
    }
    const PlaneRect& v = request.view;
    if (!saved || saved->maxIter != request.maxIter || saved->view.xMin != v.xMin ||
        saved->view.xMax != v.xMax || saved->view.yMin != v.yMin || saved->view.yMax != v.yMax ||
        saved->deep.has_value() != request.deep.has_value())
        return false;
    // A deep frame's every digit, as its chunks carry them.
    for (int i = 0; request.deep && i < 4; ++i)
        if (saved->deep->boundText(i) != request.deep->boundText(i))
            return false;
    return true;
}

} // namespace explorer::headless
