#include "imaging/codec.h"
