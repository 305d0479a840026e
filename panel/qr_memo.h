// The pairing card's QR code, encoded once for each pairing text instead of at every paint (the
// panel builds its drawing up to twelve times a second while the live dot pulses).
#pragma once

#include <string>

#include "core/qr_code.h"

namespace tov::panel {

class QrMemo {
  public:
    // The symbol for `text` (empty for an empty text).
    const QrSymbol& symbolFor(const std::string& text) {
        if (text != text_) {
            text_ = text;
            symbol_ = text.empty() ? QrSymbol{} : encodeQr(text);
            if (!text.empty()) ++encodings_;
        }
        return symbol_;
    }
    // How many texts were encoded so far (for diagnostics and tests).
    int encodings() const { return encodings_; }

  private:
    std::string text_;
    QrSymbol symbol_;
    int encodings_ = 0;
};

}  // namespace tov::panel
