#include "app/fontwarmup.h"

#include <fontconfig/fontconfig.h>

TFontWarmUp::TFontWarmUp() : Worker([] { FcInit(); }) {}
