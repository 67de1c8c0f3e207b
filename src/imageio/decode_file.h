#pragma once

#include <atomic>
#include <string>

#include "imageio/source_pair.h"

namespace qv {

struct ImageIoContext;

// The lower-cased text after the last "." of the path; empty without one.
std::string fileExtension(const std::string& path);

// Decodes one file into the pair. A "jpg" or "jpeg" file goes to the image
// codec only; any other file is offered to the 16-bit TIFF reader, the RAW
// decoder and the image codec in turn; anything but a plain, non-empty file
// is refused before. Publishes the path as status text and progress within
// `range`. False on failure, with the pair empty and the error text saying
// what failed, for which file and why ("Błąd wczytywania „a.tif”: plik jest
// pusty"; "Nieznany format obrazu „a.txt”" and percentage 0 when no decoder
// takes the file); after an abort without text.
bool decodeFile(const std::string& path, ImageIoContext& ctx, const std::atomic<bool>& abort, SourcePair& pair,
                ProgressRange range = {});

}  // namespace qv
