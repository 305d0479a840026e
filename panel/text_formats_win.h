// The panel's DirectWrite text formats, created once, and the measurer built on them.
#pragma once

#include <dwrite.h>

#include <string>

#include "panel/text_measurer.h"
#include "platform/win/com_ptr.h"

namespace tov::panel {

class TextFormats {
  public:
    // False when DirectWrite or any format cannot be set up.
    bool create();
    IDWriteFactory* factory() const { return factory_.Get(); }
    IDWriteTextFormat* format(Font font) const { return formats_[static_cast<int>(font)].Get(); }
    // The icon font exists on this system; without it icon glyphs need stand-ins.
    bool hasIconFont() const { return hasIconFont_; }
    // A layout of the text in the font, set up for wrapping or a single trimmed line.
    ComPtr<IDWriteTextLayout> layout(std::wstring_view text, Font font, float width, float height,
                                     bool wrap) const;

  private:
    std::wstring pickFamily(std::initializer_list<const wchar_t*> families) const;

    ComPtr<IDWriteFactory> factory_;
    ComPtr<IDWriteFontCollection> fonts_;
    ComPtr<IDWriteTextFormat> formats_[static_cast<int>(Font::Icon15) + 1];
    bool hasIconFont_ = false;
};

class DWriteMeasurer : public TextMeasurer {
  public:
    explicit DWriteMeasurer(const TextFormats& formats) : formats_(formats) {}
    SizeF measure(std::wstring_view text, Font font, float maxWidth, bool wrap) override;

  private:
    const TextFormats& formats_;
};

// What an icon glyph is drawn as when the icon font is missing (empty: not drawn).
std::wstring iconStandIn(const std::wstring& glyph);

}  // namespace tov::panel
