#include "panel/text_formats_win.h"

#include "core/log.h"

namespace tov::panel {

namespace {

struct FormatSpec {
    Font font;
    int familyList;  // 0 display, 1 text, 2 mono, 3 icons
    DWRITE_FONT_WEIGHT weight;
};

constexpr FormatSpec kSpecs[] = {
    {Font::Display15, 0, DWRITE_FONT_WEIGHT_SEMI_BOLD},
    {Font::Display18, 0, DWRITE_FONT_WEIGHT_SEMI_BOLD},
    {Font::Display24, 0, DWRITE_FONT_WEIGHT_SEMI_BOLD},
    {Font::Text12, 1, DWRITE_FONT_WEIGHT_NORMAL},
    {Font::Text13, 1, DWRITE_FONT_WEIGHT_NORMAL},
    {Font::Text13_5, 1, DWRITE_FONT_WEIGHT_NORMAL},
    {Font::Strong12_5, 1, DWRITE_FONT_WEIGHT_SEMI_BOLD},
    {Font::Strong13_5, 1, DWRITE_FONT_WEIGHT_SEMI_BOLD},
    {Font::Mono13, 2, DWRITE_FONT_WEIGHT_NORMAL},
    {Font::Icon10, 3, DWRITE_FONT_WEIGHT_NORMAL},
    {Font::Icon15, 3, DWRITE_FONT_WEIGHT_NORMAL},
};

}  // namespace

std::wstring TextFormats::pickFamily(std::initializer_list<const wchar_t*> families) const {
    for (const wchar_t* name : families) {
        UINT32 index = 0;
        BOOL exists = FALSE;
        if (SUCCEEDED(fonts_->FindFamilyName(name, &index, &exists)) && exists) return name;
    }
    return L"";
}

bool TextFormats::create() {
    HRESULT hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                     reinterpret_cast<IUnknown**>(factory_.GetAddressOf()));
    if (FAILED(hr)) {
        logLine("panel: DirectWrite factory failed 0x%08lx", static_cast<unsigned long>(hr));
        return false;
    }
    hr = factory_->GetSystemFontCollection(&fonts_, FALSE);
    if (FAILED(hr)) {
        logLine("panel: font collection failed 0x%08lx", static_cast<unsigned long>(hr));
        return false;
    }
    // Systems without the Windows faces (older Windows, Wine) still get a readable sans face.
    std::wstring fallback =
        pickFamily({L"Segoe UI", L"Tahoma", L"Arial", L"DejaVu Sans", L"Liberation Sans"});
    std::wstring families[4] = {
        pickFamily({L"Segoe UI Variable Display", L"Segoe UI"}),
        pickFamily({L"Segoe UI Variable Text", L"Segoe UI"}),
        pickFamily({L"Cascadia Mono", L"Consolas"}),
        pickFamily({L"Segoe Fluent Icons", L"Segoe MDL2 Assets"}),
    };
    hasIconFont_ = !families[3].empty();
    for (int i = 0; i < 3; ++i)
        if (families[i].empty()) families[i] = fallback.empty() ? L"Segoe UI" : fallback;
    if (families[3].empty()) families[3] = families[1];
    for (const FormatSpec& wanted : kSpecs) {
        auto& slot = formats_[static_cast<int>(wanted.font)];
        hr = factory_->CreateTextFormat(families[wanted.familyList].c_str(), nullptr, wanted.weight,
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                        fontSize(wanted.font), L"en-us", &slot);
        if (FAILED(hr)) {
            logLine("panel: text format failed 0x%08lx", static_cast<unsigned long>(hr));
            return false;
        }
    }
    return true;
}

ComPtr<IDWriteTextLayout> TextFormats::layout(std::wstring_view text, Font font, float width,
                                              float height, bool wrap) const {
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(factory_->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()),
                                          format(font), width > 0 ? width : 0,
                                          height > 0 ? height : 0, &layout)))
        return nullptr;
    layout->SetWordWrapping(wrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
    if (!wrap) {
        // A line too long for its box ends in an ellipsis instead of running into its neighbour.
        ComPtr<IDWriteInlineObject> sign;
        if (SUCCEEDED(factory_->CreateEllipsisTrimmingSign(layout.Get(), &sign))) {
            DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
            layout->SetTrimming(&trimming, sign.Get());
        }
    }
    return layout;
}

SizeF DWriteMeasurer::measure(std::wstring_view text, Font font, float maxWidth, bool wrap) {
    ComPtr<IDWriteTextLayout> layout = formats_.layout(text, font, maxWidth, 100000, wrap);
    if (!layout) return {};
    DWRITE_TEXT_METRICS metrics{};
    if (FAILED(layout->GetMetrics(&metrics))) return {};
    return {metrics.widthIncludingTrailingWhitespace, metrics.height};
}

std::wstring iconStandIn(const std::wstring& glyph) {
    if (glyph == L"\uE70D") return L"\u25BE";  // chevron down
    if (glyph == L"\uE73E") return L"\u2713";  // check mark
    return L"";
}

}  // namespace tov::panel
