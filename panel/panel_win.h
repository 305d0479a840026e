// The settings panel window: class "TovenmarPanel", drawn with Direct2D and DirectWrite from the
// App's model snapshots, every action reported through the panel callbacks.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "core/panel_model.h"
#include "panel/panel_callbacks.h"

namespace tov {

namespace panel {
class PanelView;
}

inline constexpr UINT kPanelRefreshMessage = WM_APP + 1;

class Panel {
  public:
    using ModelProvider = std::function<PanelModel()>;

    Panel();
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Sets up DirectWrite and Direct2D, registers the class, creates, sizes and shows the window
    // and starts its timer. False on any failure.
    bool create(HINSTANCE instance, int showCommand, ModelProvider provider,
                panel::PanelCallbacks callbacks);

    HWND window = nullptr;  // the panel window; null until created and after it is destroyed

    // The portable view behind the window (for diagnostics and tests).
    panel::PanelView* view();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tov
