#include "kit/pkimagelook.h"

ImageButtonLookAndFeel::~ImageButtonLookAndFeel()
{
    delete image;
    delete image2;
}

double pkbuttonvalue(juce::Button& button)
{
    auto* look = dynamic_cast<ImageButtonLookAndFeel*>(&button.getLookAndFeel());
    return look != nullptr ? look->value : 0.0;
}

juce::Rectangle<int> pkhalfimage(const juce::Image* image)
{
    if (image == nullptr || !image->isValid())
        return {};
    return {0, 0, image->getWidth(), image->getHeight() / 2};
}
