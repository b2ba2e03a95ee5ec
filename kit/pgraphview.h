// The framework side of the graph view: replays the page's lines into an image.
#pragma once

#include "engine/prelaxed.h"

#include <juce_graphics/juce_graphics.h>

#include <cstdint>

// Clears the image to transparent and draws the page's picture into it, one opaque pixel
// per point of each line. Allocates nothing.
void pgraphrender(juce::Image& image, const int* data, unsigned long count, int page,
                  const prelaxed<std::int32_t>* history);
