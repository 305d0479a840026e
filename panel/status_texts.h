// The sidebar's words: the status pill, headline and detail, the main button, the statistics
// cells and the frame line, all derived from one model snapshot.
#pragma once

#include <cstdint>
#include <string>

#include "core/panel_model.h"

namespace tov::panel {

struct StatusPill {
    std::wstring word;
    uint32_t dot = 0;
    bool pulsing = false;  // the dot's opacity follows the clock
};
StatusPill statusPill(const PanelModel& m);
// 0.55 + 0.45 x cos(ms / 450): the live dot's opacity.
float pulseOpacity(uint64_t msSinceBoot);

std::wstring headline(const PanelModel& m);
std::wstring detailText(const PanelModel& m);

enum class MainAction { Start, Stop, Cancel, Reinstall };
struct MainButton {
    std::wstring label;
    uint32_t color = 0;
    bool filled = false;
    MainAction action = MainAction::Start;
};
MainButton mainButton(const PanelModel& m);

struct StatCell {
    std::wstring label;
    std::wstring value;  // empty when there is none (drawn as a dash)
};
// Size, FPS, Mbps, Video delay, Input delay.
struct StatCells {
    StatCell cells[5];
};
StatCells statCells(const PanelModel& m);

struct FrameLine {
    std::wstring text;
    uint32_t color = 0;
};
FrameLine frameLine(const PanelModel& m);

// The input helper link counts as up in its ready state.
inline bool inputLinkUp(const PanelModel& m) {
    return m.inputState == 2;
}
bool isConnected(const PanelModel& m);

}  // namespace tov::panel
