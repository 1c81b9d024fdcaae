// Headless render of one view (see headless_render.h).
#include "headless_render.h"

#include <QFile>
#include <QImageReader>

#include "explorer/view_export.h"
#include "explorer/view_picture.h"
#include "start_palette.h"
#include "toolkit/numbers.h"

namespace explorer::headless {

namespace {

// The view as the window's six fields would show it after drawing it.
SavedView SavedViewOf(const RenderRequest& r)
{
    const PlaneRect& v = r.view;
    QStringList fields{tk::Str(v.xMin), tk::Str(v.xMax),          tk::Str(v.yMin),
                       tk::Str(v.yMax), tk::Str(v.xMax - v.xMin), tk::Str(v.yMax - v.yMin)};
    return {{v.xMin, v.xMax, v.yMin, v.yMax}, r.maxIter, fields, std::nullopt};
}

} // namespace

QImage RenderViewPicture(const RenderRequest& request, const std::function<bool()>& rowDone)
{
    PassLevels levels(request.threads);
    TracedPass pass(request.width, request.height, request.maxIter, levels);
    pass.begin(request.view);
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
    const auto saved = ReadSavedView(fileName);
    const PlaneRect& v = request.view;
    return saved && saved->maxIter == request.maxIter && saved->view.xMin == v.xMin &&
           saved->view.xMax == v.xMax && saved->view.yMin == v.yMin && saved->view.yMax == v.yMax;
}

} // namespace explorer::headless
