// Which YCbCr-to-RGB conversion a stream's pictures need, where that is learned, and the
// conversion's coefficients for the renderer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tov {

enum class ColourMatrix { Bt601, Bt709, Bt2020 };

struct ColourSpace {
    ColourMatrix matrix = ColourMatrix::Bt601;
    bool fullRange = false;
    bool operator==(const ColourSpace&) const = default;
};

// What one source tells of the pictures' colours; each part may be missing.
struct StreamColour {
    std::optional<ColourMatrix> matrix;
    std::optional<bool> fullRange;
};

// The matrix named by a matrix_coefficients code (ITU-T H.273, as H.264 and HEVC carry it);
// nothing for "unspecified" and for the codes no phone encoder uses.
std::optional<ColourMatrix> matrixFromCode(uint32_t matrixCoefficients);

// The decoder's output type: MF_MT_YUV_MATRIX (MFVideoTransferMatrix) and
// MF_MT_VIDEO_NOMINAL_RANGE (MFNominalRange) values, 0 when absent.
StreamColour colourFromMediaType(uint32_t transferMatrix, uint32_t nominalRange);

struct ColourChoice {
    ColourSpace space;
    const char* matrixFrom = "";  // "stream", "decoder" or "picture size"
    const char* rangeFrom = "";   // "stream", "decoder" or "default"
};

// The stream's own parameter sets first, then the decoder's output type; without either, what
// players assume: BT.601 below 720 lines and BT.709 from 720 up, in the limited range.
ColourChoice chooseColourSpace(const StreamColour& stream, const StreamColour& decoder,
                               int32_t height);

// "BT.709, limited range".
std::string colourSpaceText(ColourSpace space);

// RGB from the stored samples, each 0 to 1 as an 8-bit unorm texture reads them (Y, Cb, Cr):
// rgb[i] = rows[i][0] * Y + rows[i][1] * Cb + rows[i][2] * Cr + rows[i][3].
struct YuvToRgb {
    float rows[3][4];
};
YuvToRgb yuvToRgb(ColourSpace space);

// How the pictures a decoder hands over become RGB: the colour space their samples are in (for
// the video processor), and the conversion that gives the stream's intended colours (for the
// pixel shader: it also undoes a decoder's conversion made on a wrong assumption).
struct PictureColour {
    ColourSpace samples;
    YuvToRgb toRgb;
};

// Pictures decoded as the stream coded them.
PictureColour pictureColour(ColourSpace space);

// Pictures from a decoder that converts every picture to BT.601 (Wine's H.264 transform, which
// decodes through GStreamer): it takes the stream's matrix from the parameter sets, else
// assumes BT.709 above 576 lines (BT.2020 from 2160); BT.601 pictures pass unchanged (their
// range too), the others come converted to BT.601 in the limited range. `intended` is the
// choice above, which this undoes the decoder's assumption towards.
PictureColour pictureColourAfterBt601Decoder(const StreamColour& stream, int32_t height,
                                             ColourSpace intended);

}  // namespace tov
