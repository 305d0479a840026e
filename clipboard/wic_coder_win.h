// Picture decoding and PNG encoding with the Windows Imaging Component. Used on a thread that
// has COM; the imaging factory is made for each operation.
#pragma once

#include "clipboard/clipboard_access.h"

namespace tov {

class WicPictureCoder : public PictureCoder {
  public:
    // Frame 0 of any format the imaging component reads, as 32-bit BGRA.
    std::optional<Bitmap> decode(std::string_view encoded) override;
    std::string encodePng(const Bitmap& bitmap) override;
};

}  // namespace tov
