#include "input/picture_point.h"

#include <algorithm>

namespace tov {

PicturePoint picturePoint(float px, float py, int clientW, int clientH, int streamW, int streamH) {
    PicturePoint p;
    if (clientW <= 0 || clientH <= 0) return p;
    if (streamW <= 0 || streamH <= 0) {
        streamW = clientW;
        streamH = clientH;
    }
    const double W = clientW, H = clientH, w = streamW, h = streamH;
    const double s = std::min(H / h, W / w);
    p.x = static_cast<float>((px - (W - w * s) * 0.5) / (w * s));
    p.y = static_cast<float>((py - (H - h * s) * 0.5) / (h * s));
    p.inside = p.x >= 0 && p.x <= 1 && p.y >= 0 && p.y <= 1;
    return p;
}

}  // namespace tov
