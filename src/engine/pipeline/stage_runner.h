#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/pipeline/processing_context.h"
#include "text/status_codes.h"

namespace qv {

class StageControl;

// Rows firstRow .. endRow-1 of the image.
struct Band {
    int firstRow;
    int endRow;
};

// Bands of ceil(H / workers) rows, at least minRows, at most `workers` of them.
std::vector<Band> splitBands(int height, int workers, int minRows = 8);
// The queued scheme: up to 3 * workers bands of ceil(H / (3 * workers)) rows, at least 16.
std::vector<Band> splitQueuedBands(int height, int workers);

// The fields every stage's work item has. A stage derives its own item from
// this, adding its planes and parameters.
struct WorkItem {
    int firstRow = 0;
    int endRow = 0;
    int index = 0;
    int count = 0;  // number of items of the stage
    int width = 0;
    int height = 0;
    int valueScale = 65536;
    int progress = 0;  // work units done; read by the runner while the worker runs
    StageControl* control = nullptr;

    // Counts `units` of work done and tells whether the worker may go on
    // (false once the run is aborted or another worker failed).
    bool tick(int units = 1);
    bool stopped() const;
    // Ends a pass: waits until every item of the stage has ended the same
    // pass. False when the stage is stopping instead.
    bool passDone();
};

// The prologue of a stage: publishes its status with a percentage of 0.
// A stage begins with it, so that even a refusal of bad input shows which
// stage refused.
void beginStage(ProcessingContext& ctx, StatusCode code);

// How a stage is run and how its percentage is computed.
struct StageOptions {
    // The status the workers run under, published by the runner; None keeps
    // the one the stage began with.
    StatusCode statusCode = StatusCode::None;
    int64_t totalWork = 1;      // sum of all items' progress at 100 %
    bool capAt100 = false;      // the percentage never shows more than 100
    bool queued = false;        // at most `workers` items run at once, the rest wait their turn
};

// Runs one worker per item (queued: `workers` threads take the items in turn),
// publishes the percentage in the context every 300 ms and
// returns true only when every item's worker returned true. The abort flag
// is polled by the workers through WorkItem::tick and ends waits at a pass
// barrier.
bool runWorkItems(ProcessingContext& ctx, const std::atomic<bool>& abort, std::span<WorkItem* const> items,
                  const StageOptions& options, const std::function<bool(int index)>& worker);

// Convenience over runWorkItems for a vector of a stage's own items.
template <class Item, class Worker>
bool runStage(ProcessingContext& ctx, const std::atomic<bool>& abort, std::vector<Item>& items,
              const StageOptions& options, Worker worker)
{
    std::vector<WorkItem*> pointers;
    pointers.reserve(items.size());
    for (Item& item : items)
        pointers.push_back(&item);
    return runWorkItems(ctx, abort, pointers, options, [&](int i) { return worker(items[i]); });
}

// Fills the common fields of one item per band.
template <class Item>
std::vector<Item> makeWorkItems(const std::vector<Band>& bands, int width, int height, int valueScale)
{
    std::vector<Item> items(bands.size());
    for (std::size_t i = 0; i < bands.size(); ++i) {
        WorkItem& w = items[i];
        w.firstRow = bands[i].firstRow;
        w.endRow = bands[i].endRow;
        w.index = static_cast<int>(i);
        w.count = static_cast<int>(bands.size());
        w.width = width;
        w.height = height;
        w.valueScale = valueScale;
    }
    return items;
}

// One item per band of the context's worker count over a width x height image.
template <class Item>
std::vector<Item> stageItems(const ProcessingContext& ctx, int width, int height)
{
    return makeWorkItems<Item>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
}

}  // namespace qv
