#include "app/fontwarmup.h"

TFontWarmUp::TFontWarmUp() = default;
