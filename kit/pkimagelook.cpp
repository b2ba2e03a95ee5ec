#include "kit/pkimagelook.h"

#include "kit/pktext.h"

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

void pkdrawfacerow(juce::Graphics& g, const juce::Image* image, bool lower)
{
    const auto face = pkhalfimage(image);
    if (face.isEmpty())
        return;
    const int row = lower ? face.getHeight() : 0;
    g.drawImage(*image, 0, 0, face.getWidth(), face.getHeight(), 0, row, face.getWidth(), face.getHeight());
}

void pkplacebutton(juce::Button& button, int x, int y, int w, int h, const juce::Image* image, int tag,
                   juce::Button::Listener* listener)
{
    button.setTriggeredOnMouseDown(true);
    if (image != nullptr)
        button.setBounds(pkhalfimage(image).withPosition(x, y));
    else
        button.setBounds(x, y, w, h);
    button.setComponentID(pkcomponentid(tag));
    if (listener != nullptr)
        button.addListener(listener);
}
