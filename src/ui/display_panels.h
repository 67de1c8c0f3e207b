#pragma once

class QImage;

namespace qv {

class MonitorProfile;
class PicturePanel;
struct PipelineState;

// Redraws the thumbnail and histogram panels from the pipeline's output
// bitmap and histograms, converted for the monitor when a profile is given.
// Without an image or output both panels are emptied and hidden. True when
// both pictures were made; a panel whose picture failed keeps its last one.
// `reducedOutput`, when given, is the whole output already reduced for the
// view, which the thumbnail starts from when it is large enough. Call only
// while no processing run writes the output.
bool drawPanels(PipelineState* state, PicturePanel& thumbnail, PicturePanel& histogram,
                const MonitorProfile* profile, const QImage* reducedOutput = nullptr);

}  // namespace qv
