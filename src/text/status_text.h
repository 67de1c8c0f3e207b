#pragma once

#include "text/status_codes.h"

namespace qv::text {

// The string-table text shown for a status code, "%d" taking the
// percentage; empty for the codes without text.
const char* statusText(StatusCode code);

}  // namespace qv::text
