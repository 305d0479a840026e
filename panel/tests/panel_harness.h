// A PanelView with a fixed-width measurer, recording callbacks, and helpers to find what a paint
// drew and to press its controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "panel/panel_view.h"
#include "panel/tests/fixed_measurer.h"

namespace tov::panel::test {

struct Recorded {
    std::vector<std::string> calls;  // "name:value" per callback
    bool optionAnswer = true;        // what the No app option callback answers
};

PanelCallbacks recordingCallbacks(Recorded& rec);

class Harness {
  public:
    explicit Harness(PanelModel model = {});

    PanelModel& model() { return model_; }
    PanelView& view() { return view_; }
    Recorded& rec() { return rec_; }
    // Pushes the model and rebuilds at the window's size.
    void paint();
    void showPage(Page page);

    const HitRegion* region(int hit) const;
    // Press and release at the centre of the hit's region, then repaint.
    void click(int hit);
    bool hasText(const std::wstring& text) const;
    // The text op that contains `part`, or null.
    const DrawOp* textOp(const std::wstring& part) const;
    uint64_t now = 1000;
    float width = 1060;
    float height = 1600;  // tall enough that every page shows whole

  private:
    FixedMeasurer measurer_;
    Recorded rec_;
    PanelModel model_;
    PanelView view_;
};

// A connected phone with encoders read and a few presets.
PanelModel connectedModel();

}  // namespace tov::panel::test
