// Where a point of the video window falls on the picture, which is fitted into the client area
// with bars.
#pragma once

namespace tov {

struct PicturePoint {
    float x = 0;  // fractions of the picture; outside 0..1 beside it
    float y = 0;
    bool inside = false;
};

// Client point (px, py) in a client of clientW x clientH showing a picture of streamW x streamH.
// Without a known picture size the whole client counts as the picture; without a client size no
// point is inside.
PicturePoint picturePoint(float px, float py, int clientW, int clientH, int streamW, int streamH);

}  // namespace tov
