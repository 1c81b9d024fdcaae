// Fuzz target: reading a view from a PNG file, as File > Open View does. Any
// bytes must give a view that can be shown as it is, or nothing, or a
// reported error: no crash, no hang, no allocation far beyond the file.
// A view read has finite bounds, a limit in range, and fields that either
// read as its bounds or are none (extents beyond the doubles).
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "explorer/iteration_dialog.h"
#include "explorer/view_file.h"
#include "toolkit/png_check.h"
#include "toolkit/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const tk::CheckedPng png = tk::CheckPng(bytes, QStringLiteral("fuzz.png"));
        if (png.decodable.size() > bytes.size())
            std::abort(); // the decoder never gets more than the file
        for (const auto& [key, text] : png.texts)
            if (text.size() > tk::MaxPngTextBytes)
                std::abort();
        const auto saved = explorer::SavedViewFromTexts(png.texts);
        if (!saved)
            return 0;
        const explorer::PlaneView& v = saved->view;
        if (!std::isfinite(v.xMin) || !std::isfinite(v.xMax) || !std::isfinite(v.yMin) ||
            !std::isfinite(v.yMax))
            std::abort();
        if (saved->maxIter < explorer::IterationDialog::Lowest ||
            saved->maxIter > explorer::IterationDialog::Highest)
            std::abort();
        const bool extentsFinite = std::isfinite(v.xMax - v.xMin) && std::isfinite(v.yMax - v.yMin);
        if (extentsFinite ? !explorer::FieldsReadAs(saved->fields, v) : !saved->fields.isEmpty())
            std::abort();
    } catch (const tk::RuntimeError& e) {
        if (e.description().isEmpty())
            std::abort();
    }
    return 0;
}
