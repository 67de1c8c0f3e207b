#include "ui/display_panels.h"

#include "engine/pipeline/pipeline_state.h"
#include "engine/stages/final_output/histogram_plot.h"
#include "ui/histogram_panel.h"
#include "ui/monitor_profile.h"
#include "ui/picture_panel.h"
#include "ui/thumbnail_panel.h"

namespace qv {

namespace {

// Hands the picture to the panel, converted for the monitor; false (and the
// panel untouched) when there is no picture.
bool handOver(PicturePanel& panel, const QImage& picture, const MonitorProfile* profile)
{
    if (picture.isNull())
        return false;
    panel.setPicture(profile ? profile->convert(picture) : picture);
    return true;
}

}  // namespace

bool drawPanels(PipelineState* state, PicturePanel& thumbnail, PicturePanel& histogram,
                const MonitorProfile* profile, const QImage* reducedOutput)
{
    if (!state || !state->loaded || !state->output) {
        for (PicturePanel* panel : {&thumbnail, &histogram}) {
            panel->clearPicture();
            panel->hide();
        }
        return false;
    }
    thumbnail.show();
    histogram.show();

    // The output is read only while no one else holds it.
    BitmapLock lock(*state->output);
    if (!lock.owns())
        return false;
    if (!handOver(thumbnail, renderThumbnail(*state->output, thumbnail.size(), reducedOutput), profile))
        return false;
    const QImage plot = renderHistogram(histogramPlot(state->histograms));
    return handOver(histogram, stretchHistogram(plot, histogram.size()), profile);
}

}  // namespace qv
