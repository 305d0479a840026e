// The Stream page: where the picture comes from, what is sent, and how it is encoded.
#include <cstdio>

#include "panel/controls.h"
#include "panel/page_layout.h"
#include "panel/pages.h"
#include "panel/status_texts.h"
#include "platform/text.h"

namespace tov::panel {

std::wstring phoneNotice(const PanelModel& m) {
    if (m.linkState == LinkState::Unauthorized)
        return L"Accept the USB debugging prompt on your phone to change these settings.";
    if (!isConnected(m)) return L"Connect your phone to change these settings.";
    if (m.probeState == 0) return L"Reading what your phone's encoders can do\u2026";
    if (m.probeState < 0)
        return L"Couldn't read your phone's encoders. Settings still apply; the phone fits them to "
               L"what it can do.";
    return L"";
}

namespace {

const PhoneInfo::Encoder* findEncoder(const PanelModel& m, const std::string& name) {
    for (const auto& e : m.encoders)
        if (e.name == name) return &e;
    return nullptr;
}

std::wstring codecHelp(const PanelModel& m) {
    if (m.linkState == LinkState::Live)
        return std::wstring(L"Sending ") + (m.codec == "hevc" ? L"HEVC." : L"H.264.");
    if (m.pcHevc)
        return L"HEVC looks cleaner at the same bitrate. Auto uses it when the phone has it.";
    return L"This PC can't decode HEVC on its graphics card, so H.264 it is.";
}

std::wstring encoderHelp(const PanelModel& m) {
    if (const PhoneInfo::Encoder* e = m.encoder.empty() ? nullptr : findEncoder(m, m.encoder)) {
        char buf[200];
        std::snprintf(buf, sizeof buf,
                      "%s. Lists up to %d\u00d7%d, %d fps at screen size, %lld Mbps.",
                      e->hardware ? "Hardware" : "Software, too slow for games", e->maxWidth,
                      e->maxHeight, e->fps, static_cast<long long>(e->maxBitrate / 1000000));
        return widen(buf);
    }
    return isConnected(m) ? L"The phone picks its own."
                          : L"The phone's encoders show once it's connected.";
}

}  // namespace

float pageStream(PageContext& ctx, const RectF& column, float top) {
    const PanelModel& m = ctx.model;
    const PanelCallbacks& cb = ctx.callbacks;
    PageLayout page(ctx, column, top);
    page.header(L"Stream", L"What goes from the phone to this PC.");
    std::wstring notice = phoneNotice(m);
    if (!notice.empty()) page.notice(notice);
    bool on = isConnected(m);

    std::vector<Segment> modes{{L"Phone app"}, {L"No app"}};
    page.section(
        L"Source",
        {{L"Capture with",
          m.noApp
              ? L"Tovenmar's helper captures over USB debugging: nothing opens on the phone and "
                L"Android asks nothing."
              : L"The Tovenmar app shares the screen. Android asks once each time the stream "
                L"starts.",
          segmentedWidth(ctx, modes), on, [&](const RectF& r) {
              drawSegmented(ctx, r, hit::kCaptureWith, modes, m.noApp ? 1 : 0, on,
                            [&cb](int i) { invoke(cb.noAppMode, i == 1); });
          }}});

    auto toggleRow = [&](const wchar_t* label, const wchar_t* help, int h, bool value, bool enabled,
                         const std::function<void(bool)>& fn) {
        return Row{label, help, kToggleWidth, enabled,
                   [&ctx, h, value, enabled, fn](const RectF& r) {
                       drawToggle(ctx, r, h, value, enabled, [fn](bool v) { invoke(fn, v); });
                   }};
    };
    page.section(
        L"Send",
        {toggleRow(L"Video", L"The phone's screen.", hit::kVideo, m.video, on, cb.video),
         toggleRow(L"Audio", L"Whatever the phone plays.", hit::kAudio, m.audio, on, cb.audio),
         toggleRow(L"Teammates' voice",
                   m.noApp
                       ? L"Voice chat in games and calls plays on the PC instead of the phone "
                         L"while you stream. Game sound still plays on both."
                       : L"Only works in No app mode. Android doesn't let apps record voice chat, "
                         L"so in Phone app mode it stays on the phone.",
                   hit::kVoice, m.voice, on && m.noApp, cb.voice),
         toggleRow(L"Keyboard", L"Type on the phone with this PC's keyboard.", hit::kKeyboard,
                   m.keyboard, on, cb.keyboard),
         toggleRow(L"Mouse", L"Click, drag and scroll on the phone from the video window.",
                   hit::kMouse, m.mouse, on, cb.mouse)});


    static const char* const kCodecs[] = {"auto", "h264", "hevc"};
    const std::string& codecChoice = m.noApp ? m.noAppCodec : m.codecChoice;
    int codecIndex = 0;
    for (int i = 0; i < 3; ++i)
        if (codecChoice == kCodecs[i]) codecIndex = i;
    std::vector<Segment> codecs{{L"Auto"}, {L"H.264"}, {L"HEVC", m.phoneHevc && m.pcHevc}};

    std::vector<ListItem> encoders{{L"Automatic", L"The phone's own pick"}};
    int encoderIndex = 0;
    for (size_t i = 0; i < m.encoders.size(); ++i) {
        const auto& e = m.encoders[i];
        encoders.push_back({widen(e.name), e.hardware ? L"Hardware" : L"Software, slow"});
        if (!m.encoder.empty() && e.name == m.encoder) encoderIndex = static_cast<int>(i) + 1;
    }
    std::wstring encoderButton;
    if (m.encoder.empty())
        encoderButton =
            m.encoderName.empty() ? L"Automatic" : L"Automatic (" + widen(m.encoderName) + L")";
    else
        encoderButton = widen(m.encoder);
    std::vector<std::string> encoderNames;
    for (const auto& e : m.encoders) encoderNames.push_back(e.name);

    page.section(L"Encoding",
                 {{L"Codec", codecHelp(m), segmentedWidth(ctx, codecs), on,
                   [&](const RectF& r) {
                       drawSegmented(ctx, r, hit::kCodec, codecs, codecIndex, on,
                                     [&cb](int i) { invoke(cb.codec, std::string(kCodecs[i])); });
                   }},
                  {L"Encoder", encoderHelp(m), 250, on, [&](const RectF& r) {
                       drawDropdown(ctx, r, hit::kEncoder, encoderButton, on, encoders,
                                    encoderIndex, [&cb, encoderNames](int i) {
                                        invoke(cb.encoder,
                                               i <= 0 ? std::string() : encoderNames[i - 1]);
                                    });
                   }}});
    const std::wstring recordHelp =
        m.recordText.empty() ? L"Saves the stream as it arrives, picture and sound, as an MP4 "
                               L"file in Videos\\Tovenmar."
                             : widen(m.recordText);
    page.section(L"Record", {toggleRow(L"Record", recordHelp.c_str(), hit::kRecord, m.recording,
                                       on || m.recording, cb.record)});
    return page.y();
}

}  // namespace tov::panel
