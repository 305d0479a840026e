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
inline constexpr wchar_t kPanelClassName[] = L"TovenmarPanel";

class Panel {
  public:
    using ModelProvider = std::function<PanelModel()>;

    Panel();
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Sets up DirectWrite and Direct2D, registers the class, creates, sizes and shows the window.
    // False on any failure. It draws only when the model or the user changed what it shows.
    bool create(HINSTANCE instance, int showCommand, ModelProvider provider,
                panel::PanelCallbacks callbacks);

    HWND window = nullptr;  // the panel window; null until created and after it is destroyed

    // The portable view behind the window (for diagnostics and tests).
    panel::PanelView* view();
    // Paints done so far (for diagnostics and tests).
    uint64_t paints() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace tov
