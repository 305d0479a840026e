// Fitting the stream to this PC and the link. Once a second while the stream is live the tick
// gathers the signals (the video packets as they arrived, the video pipeline's totals), runs the
// two control loops and sends what they decide through the setters' own path; while it is not
// live it readies the level this phone and link settled at last time, so the next stream starts
// there. Off, it sends nothing and the stream is exactly what the user chose.
#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "adapt/adapt_text.h"
#include "app/app.h"
#include "core/log.h"
#include "core/stream_options.h"
#include "platform/clock.h"

namespace tov {
namespace {

int64_t optionNumber(const StreamOptionMap& options, const char* key) {
    const auto it = options.find(key);
    return it == options.end() ? 0 : std::strtoll(it->second.c_str(), nullptr, 10);
}

// The rungs below what the user chose: the phone's cheaper presets in Phone app mode, smaller
// sizes and rates in No app mode. A No app size of 0 is the phone's own screen, long side first
// as the size option has it.
std::vector<AdaptRung> ladderFor(const PanelModel& m, const StreamOptionMap& chosen,
                                 const PhoneInfo& info) {
    if (!m.noApp) return presetLadder(m.presets, m.preset);
    int width = static_cast<int>(optionNumber(chosen, "width"));
    int height = static_cast<int>(optionNumber(chosen, "height"));
    if (width <= 0 || height <= 0) {
        width = std::max(info.width, info.height);
        height = std::min(info.width, info.height);
    }
    return sizeLadder(width, height, static_cast<int>(optionNumber(chosen, "fps")));
}

// What the user chose: the bitrate ceiling and the ladder below it. Called under the model lock.
struct UserTop {
    int64_t ceiling = 0;
    int fps = 0;
    std::vector<AdaptRung> ladder;
};
UserTop userTop(PanelModel& m, const PhoneInfo& info) {
    const StreamOptionMap chosen = buildChosenStreamOptions(m, info);
    return {optionNumber(chosen, "bitrate"), static_cast<int>(optionNumber(chosen, "fps")),
            ladderFor(m, chosen, info)};
}

// The model's adapter fields for `level` (nothing where it is the user's own).
void putLevel(PanelModel& m, const AdaptLevel& level, int64_t ceiling,
              const std::vector<AdaptRung>& ladder) {
    m.adaptBitrate =
        level.bitrate > 0 && level.bitrate < ceiling ? static_cast<int32_t>(level.bitrate) : 0;
    const bool below = level.rung > 0 && static_cast<size_t>(level.rung) < ladder.size();
    const AdaptRung rung = below ? ladder[static_cast<size_t>(level.rung)] : AdaptRung{};
    m.adaptPreset = rung.preset;
    const bool size = below && rung.preset.empty();
    m.adaptWidth = size ? rung.width : 0;
    m.adaptHeight = size ? rung.height : 0;
    m.adaptFps = size ? rung.fps : 0;
}

// The rung the model's adapter fields name on this ladder.
int rungInModel(const PanelModel& m, const std::vector<AdaptRung>& ladder) {
    if (!m.adaptPreset.empty()) return rungNamed(ladder, m.adaptPreset);
    if (m.adaptWidth > 0) {
        return rungNamed(ladder, AdaptRung{m.adaptWidth, m.adaptHeight, m.adaptFps, {}, 0}.name());
    }
    return 0;
}

std::string levelText(const AdaptLevel& level, const std::vector<AdaptRung>& ladder) {
    const std::string rung = ladder[static_cast<size_t>(level.rung)].name();
    const std::string rate = mbpsFigure(static_cast<double>(level.bitrate) / 1e6) + " Mbps";
    return rung.empty() ? rate : rate + ", " + rung;
}

}  // namespace

AdaptLevelFields adaptLevelOf(const PanelModel& m) {
    return {m.adaptBitrate, m.adaptPreset, m.adaptWidth, m.adaptHeight, m.adaptFps, m.adaptText};
}

void putAdaptLevel(const AdaptLevelFields& level, PanelModel& m) {
    m.adaptBitrate = level.bitrate;
    m.adaptPreset = level.preset;
    m.adaptWidth = level.width;
    m.adaptHeight = level.height;
    m.adaptFps = level.fps;
    m.adaptText = level.text;
}

// The switch holds for every phone's stream.
void App::setAdapt(bool on) {
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (model_.adapt == on) return;
        model_.adapt = on;
    }
    for (PhoneStream* phone : allStreams()) {
        AdaptRun& a = *phone->adapt;
        std::lock_guard<std::mutex> hold(a.lock);
        a.running = false;
        a.phoneKnown = false;  // on again: the remembered level is looked up afresh
        if (on) continue;
        std::vector<std::string> keys;
        withPhoneModel(*phone, [&](PanelModel& m) {
            if (m.adaptBitrate > 0) keys.push_back("bitrate");
            if (!m.adaptPreset.empty() || m.adaptWidth > 0) keys.push_back("preset");
            putAdaptLevel({}, m);
        });
        if (keys.empty()) continue;
        logLine("%s: off, back to the user's choice", logTag("adapt", phone->streamName()).c_str());
        sendStreamChange(*phone, keys);
    }
    save();
    refresh();
}

void App::onStreamSize(PhoneStream& phone, int width, int height, int) {
    const bool inModel = isShown(phone);
    {
        // The size the phone sends now, which the adapter may have lowered.
        std::lock_guard<std::mutex> lock(modelLock_);
        phone.streamWidth = width;
        phone.streamHeight = height;
        if (!inModel) return;
        model_.width = width;
        model_.height = height;
    }
    refresh();
}

// Every phone's stream has its adapter; its level lives beside the phone's settings (in the
// model while the pages show that phone).
void App::adaptTick(PhoneStream& phone) {
    AdaptRun& a = *phone.adapt;
    std::lock_guard<std::mutex> hold(a.lock);
    const int64_t nowUs = nowMicros();
    const PhoneChoice choice = phone.choice();
    bool on;
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        on = model_.adapt;
    }
    const bool live = phone.linkState == LinkState::Live;
    // The pipeline's running totals, read once a tick for the board and the loops.
    const VideoStats stats = on ? phone.video->stats() : VideoStats{};
    const VideoTotals totals{stats.decodedPictures, stats.decodeMicros, stats.presentedPictures,
                             stats.presentMicros,   stats.dropped,      stats.backlogResets};
    if (on) reportLoad(phone, nowUs, live, totals);
    if (!on) {
        a.running = false;
        return;
    }
    if (!live) {
        a.running = false;
        adaptNotLive(phone, choice.key, choice.wifi);
        return;
    }
    if (!a.running) {
        adaptKnowPhone(a, choice.key, choice.wifi);
        adaptStartLive(phone, nowUs);
        return;
    }

    const int64_t nowMs = nowUs / 1000;
    UserTop top;
    withPhoneModel(phone, [&](PanelModel& m) { top = userTop(m, phone.info); });
    const int64_t ceiling = top.ceiling;
    std::vector<AdaptRung>& ladder = top.ladder;
    if (ladder != a.ladder) {
        // The user chose another size: it is the new top, and the setter sent it already.
        a.ladder = ladder;
        a.controller.start(nowMs, ceiling, rungCosts(ladder), {a.controller.level().bitrate, 0});
    } else if (ceiling != a.controller.ceiling()) {
        a.controller.setCeiling(ceiling, {});
    }

    int fps = a.streamFps.load();
    if (fps <= 0) fps = top.fps;
    AdaptSignals signals = a.sampler.sample(nowUs, totals, fps > 0 ? fps : 60);
    // The other phones' streams share this PC.
    const PcLoadBoard::Share share = adaptBoard_.shareOf(a.boardId);
    signals.othersLoad = share.othersLoad;
    signals.givesWay = share.givesWay;
    const AdaptDecision d = a.controller.step(nowMs, signals);
    const AdaptLevel level = a.controller.level();

    AdaptReport report;
    report.sent = a.ladder[static_cast<size_t>(level.rung)];
    report.bitrate = level.bitrate;
    report.ceiling = ceiling;
    report.atTop = level.rung == 0 && level.bitrate >= ceiling;
    if (level.rung > 0) {
        report.above = a.ladder[static_cast<size_t>(level.rung - 1)];
        report.pcPictures = a.controller.pcPicturesPerSecond();
    }
    report.linkMbps = a.controller.linkMbps();
    report.wifi = a.wifi;
    const std::string text = adaptLine(report);
    bool textChanged = false;
    withPhoneModel(phone, [&](PanelModel& m) {
        putLevel(m, level, ceiling, a.ladder);
        textChanged = m.adaptText != text;
        m.adaptText = text;
    });
    const std::string tag = logTag("adapt", phone.streamName());
    if (d.changed()) {
        logLine("%s: %s", tag.c_str(), d.why.c_str());
        std::vector<std::string> keys;
        if (d.bitrateChanged) keys.push_back("bitrate");
        if (d.rungChanged) keys.push_back("preset");
        sendStreamChange(phone, keys);
    }
    // Where it settled is where this phone and link start next time.
    if (a.controller.unchangedFor(nowMs) >= a.options.settledMs && !a.phoneKey.empty()) {
        const RememberedLevel settled{level.bitrate, report.sent.name()};
        if (settled != a.saved) {
            writeRememberedLevel(settingsFilePath(), a.phoneKey, a.wifi, settled);
            a.saved = settled;
            logLine("%s: settled at %s over %s", tag.c_str(), levelText(level, a.ladder).c_str(),
                    a.wifi ? "Wi-Fi" : "USB");
        }
    }
    if (d.changed() || textChanged) refresh();
}

// What this stream's decode and present took of the PC in the last tick, for the board, and
// whether its adapter follows it with a cheaper size left.
void App::reportLoad(PhoneStream& phone, int64_t nowUs, bool live, const VideoTotals& now) {
    AdaptRun& a = *phone.adapt;
    if (a.boardId == 0) a.boardId = adaptBoard_.join();
    const int64_t spanUs = nowUs - a.boardUs;
    const int64_t busyUs = (now.decodeMicros - a.boardTotals.decodeMicros) +
                           (now.presentMicros - a.boardTotals.presentMicros);
    const bool counted = live && a.boardUs > 0 && spanUs > 0 && busyUs >= 0;
    a.boardTotals = now;
    a.boardUs = nowUs;
    const bool canStepDown = a.running && a.controller.level().rung + 1 < a.controller.rungCount();
    adaptBoard_.report(a.boardId, counted ? static_cast<double>(busyUs) / spanUs : 0.0,
                       canStepDown);
}

void App::adaptPhoneProbed(PhoneStream& phone) {
    const PhoneChoice choice = phone.choice();
    std::lock_guard<std::mutex> hold(phone.adapt->lock);
    {
        std::lock_guard<std::mutex> lock(modelLock_);
        if (!model_.adapt) return;
    }
    if (phone.linkState == LinkState::Live) return;
    adaptNotLive(phone, choice.key, choice.wifi);
}

void App::adaptNotLive(PhoneStream& phone, const std::string& phoneKey, bool wifi) {
    AdaptRun& a = *phone.adapt;
    bool textCleared = false;
    withPhoneModel(phone, [&](PanelModel& m) {
        textCleared = !m.adaptText.empty();
        m.adaptText.clear();
    });
    if (textCleared) refresh();
    if (!adaptKnowPhone(a, phoneKey, wifi)) return;
    // The next stream of this phone over this link starts where it settled last time.
    bool changed = false;
    AdaptLevel level;
    std::vector<AdaptRung> ladder;
    withPhoneModel(phone, [&](PanelModel& m) {
        UserTop top = userTop(m, phone.info);
        ladder = std::move(top.ladder);
        level.bitrate = a.saved.bitrate > 0 ? std::min(a.saved.bitrate, top.ceiling) : top.ceiling;
        level.rung = rungNamed(ladder, a.saved.rung);
        const auto fields = [](const PanelModel& model) {
            return std::make_tuple(model.adaptBitrate, model.adaptPreset, model.adaptWidth,
                                   model.adaptHeight, model.adaptFps);
        };
        const auto before = fields(m);
        putLevel(m, level, top.ceiling, ladder);
        changed = before != fields(m);
    });
    if (!changed) return;
    pushStreamOptions(phone);
    logLine("%s: the next stream over %s starts at %s, where it settled last time",
            logTag("adapt", phone.streamName()).c_str(), wifi ? "Wi-Fi" : "USB",
            levelText(level, ladder).c_str());
}

bool App::adaptKnowPhone(AdaptRun& a, const std::string& phoneKey, bool wifi) {
    if (a.phoneKnown && phoneKey == a.phoneKey && wifi == a.wifi) return false;
    a.phoneKnown = true;
    a.phoneKey = phoneKey;
    a.wifi = wifi;
    a.saved = readRememberedLevel(settingsFilePath(), phoneKey, wifi);
    return true;
}

void App::adaptStartLive(PhoneStream& phone, int64_t nowUs) {
    AdaptRun& a = *phone.adapt;
    int64_t ceiling = 0;
    AdaptLevel from;
    withPhoneModel(phone, [&](PanelModel& m) {
        UserTop top = userTop(m, phone.info);
        a.ladder = std::move(top.ladder);
        ceiling = top.ceiling;
        from.bitrate = m.adaptBitrate > 0 ? m.adaptBitrate : ceiling;
        from.rung = rungInModel(m, a.ladder);
    });
    a.controller.start(nowUs / 1000, ceiling, rungCosts(a.ladder), from);
    a.sampler.restart(nowUs);
    a.running = true;
    logLine("%s: following the stream from %s (the user's %s Mbps, %zu size%s)",
            logTag("adapt", phone.streamName()).c_str(),
            levelText(a.controller.level(), a.ladder).c_str(),
            mbpsFigure(static_cast<double>(ceiling) / 1e6).c_str(), a.ladder.size(),
            a.ladder.size() == 1 ? "" : "s");
}

}  // namespace tov
