// Builds an explorer window for tests: loaded as at start-up, then given a
// small canvas so that whole render passes take milliseconds.
#pragma once

#include <memory>

#include "explorer/form1.h"

namespace testing_support {

inline std::unique_ptr<explorer::Form1> makeExplorer(int width, int height)
{
    auto form = std::make_unique<explorer::Form1>();
    form->Form_Load();
    form->LastCol = width - 1;
    form->LastRow = height - 1;
    form->PicW = width;
    form->PicH = height;
    form->Picture1->setWidth(width);
    form->Picture1->setHeight(height);
    return form;
}

inline void setView(explorer::Form1& form, double xMin, double xMax, double yMin, double yMax)
{
    form.XMin = xMin;
    form.XMax = xMax;
    form.YMin = yMin;
    form.YMax = yMax;
}

} // namespace testing_support
