#pragma once

#include "engine/pipeline/background_thread.h"
#include "imageio/save_options.h"

namespace qv {

struct ImageIoContext;
struct PipelineState;

// The image title stored with JPEG and 8-bit TIFF files: the product's web
// address.
inline constexpr const char* kSavedImageTitle = "https://www.quorvelin.com/";

// Writes the processed image of `state` as `options` ask: JPEG or 8-bit TIFF
// from the output bitmap, 16-bit TIFF from the 48-bit result buffer, scaled
// down with the Lanczos-3 filter when both target sides are smaller than the
// image. Publishes the saving status, the percentage and the path in the
// context. The file is written under a temporary name beside the target (a
// symbolic link is followed to the file it names) and takes the target's
// place only when complete and not aborted: on failure or abort an existing
// target is untouched and nothing is left behind. A target that no file can
// replace (a folder, a pipe, a device) is refused before anything is written.
// On failure the context's error text says what failed, for which file and
// why ("Błąd zapisu „a.tif”: brak miejsca na dysku"); after an abort, and
// when no encoder exists, it stays empty. The abort flag is honoured as it is
// found.
bool saveImage(ImageIoContext& ctx, PipelineState& state, const SaveOptions& options);

// The save thread's body: clears the error text and the abort flag of the
// context's pipeline, then saves. Done when the file is written, Failed when
// the save failed or was aborted.
ThreadResult runSaveThread(ImageIoContext& ctx, const SaveOptions& options);

}  // namespace qv
