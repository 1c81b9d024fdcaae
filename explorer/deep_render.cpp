// Working out a deep view's levels on a worker thread while the window's
// thread yields, and handing them to the pass.
#include "deep_render.h"

#include <chrono>
#include <thread>

#include "form1.h"
#include "toolkit/events.h"
#include "toolkit/runtime_error.h"

namespace explorer {

void DeepRender::cancelAll()
{
    for (const auto& job : jobs_)
        job->cancel = true;
}

bool DeepRender::takesPass(const Form1& form)
{
    const deep::DeepView* current = form.Deep.current(form);
    return current && DeepViewState::beyondDoubles(*current, form.LastCol, form.LastRow);
}

bool DeepRender::computeLevels(Form1& form)
{
    levels_.reset();
    // A pass that starts ends any computation for an older one.
    cancelAll();
    if (!takesPass(form))
        return true; // doubles resolve it: the described pass draws it
    const deep::DeepView* current = form.Deep.current(form);
    const deep::DeepView view = *current;
    const std::int32_t width = form.LastCol + 1, height = form.LastRow + 1;
    deep::DeepOptions opts = options;
    opts.maxIter = form.MaxIter;
    opts.colorCycle = form.ColorCycle;
    auto job = std::make_shared<Job>();
    jobs_.push_back(job);
    std::thread worker([job, view, width, height, opts] {
        job->result = deep::computeDeepLevels(view, width, height, opts, job->cancel,
                                              [&](deep::DeepStage stage, double fraction) {
                                                  job->stage = int(stage);
                                                  job->fraction = fraction;
                                              });
        job->done = true;
    });
    const Progress first{deep::DeepStage::ReferenceOrbit, 0, view.precisionFor(width, height),
                         view.log10Magnification()};
    if (onProgress)
        onProgress(first);
    // The window answers meanwhile (a restart coalesced at the nesting
    // limit is taken after the first row, as in any pass).
    while (!job->done) {
        tk::DoEvents();
        if (onProgress && !job->done)
            onProgress({deep::DeepStage(job->stage.load()), job->fraction.load(), first.bits,
                        first.log10Magnification});
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    worker.join();
    std::erase(jobs_, job);
    if (job->result.cancelled || job->cancel)
        return false; // a newer pass has drawn over this one's canvas
    if (!job->result.error.empty())
        throw tk::RuntimeError(tk::ErrBadInput, QString::fromStdString(job->result.error));
    levels_ = std::make_shared<const deep::DeepLevels>(std::move(job->result));
    if (onLevels)
        onLevels(*levels_);
    return true;
}

} // namespace explorer
