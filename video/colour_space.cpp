#include "video/colour_space.h"

#include <array>

namespace tov {

std::optional<ColourMatrix> matrixFromCode(uint32_t matrixCoefficients) {
    switch (matrixCoefficients) {
        case 1:  // BT.709
        case 7:  // SMPTE 240M: within a level of BT.709
            return ColourMatrix::Bt709;
        case 4:  // FCC: within a level of BT.601
        case 5:  // BT.470 System B/G (BT.601 625 lines)
        case 6:  // SMPTE 170M (BT.601 525 lines)
            return ColourMatrix::Bt601;
        case 9:   // BT.2020 non-constant luminance
        case 10:  // BT.2020 constant luminance: drawn as non-constant
            return ColourMatrix::Bt2020;
        default:  // 2 unspecified; identity, YCgCo and the rest no phone sends
            return std::nullopt;
    }
}

StreamColour colourFromMediaType(uint32_t transferMatrix, uint32_t nominalRange) {
    StreamColour c;
    switch (transferMatrix) {
        case 1:  // MFVideoTransferMatrix_BT709
        case 3:  // MFVideoTransferMatrix_SMPTE240M
            c.matrix = ColourMatrix::Bt709;
            break;
        case 2:  // MFVideoTransferMatrix_BT601
            c.matrix = ColourMatrix::Bt601;
            break;
        case 4:  // MFVideoTransferMatrix_BT2020_10
        case 5:  // MFVideoTransferMatrix_BT2020_12
            c.matrix = ColourMatrix::Bt2020;
            break;
        default:
            break;
    }
    if (nominalRange == 1) c.fullRange = true;   // MFNominalRange_0_255
    if (nominalRange == 2) c.fullRange = false;  // MFNominalRange_16_235
    return c;
}

ColourChoice chooseColourSpace(const StreamColour& stream, const StreamColour& decoder,
                               int32_t height) {
    ColourChoice choice;
    if (stream.matrix) {
        choice.space.matrix = *stream.matrix;
        choice.matrixFrom = "stream";
    } else if (decoder.matrix) {
        choice.space.matrix = *decoder.matrix;
        choice.matrixFrom = "decoder";
    } else {
        choice.space.matrix = height >= 720 ? ColourMatrix::Bt709 : ColourMatrix::Bt601;
        choice.matrixFrom = "picture size";
    }
    if (stream.fullRange) {
        choice.space.fullRange = *stream.fullRange;
        choice.rangeFrom = "stream";
    } else if (decoder.fullRange) {
        choice.space.fullRange = *decoder.fullRange;
        choice.rangeFrom = "decoder";
    } else {
        choice.space.fullRange = false;
        choice.rangeFrom = "default";
    }
    return choice;
}

std::string colourSpaceText(ColourSpace space) {
    const char* matrix = space.matrix == ColourMatrix::Bt709    ? "BT.709"
                         : space.matrix == ColourMatrix::Bt2020 ? "BT.2020"
                                                                : "BT.601";
    return std::string(matrix) + (space.fullRange ? ", full range" : ", limited range");
}

namespace {

// An affine map of three values: out[i] = m[i][0..2] . in + m[i][3].
using Affine = std::array<std::array<double, 4>, 3>;

Affine toRgbMap(ColourSpace space) {
    // Luma and blue weights of each matrix (ITU-R BT.601, BT.709, BT.2020).
    double kr = 0.299, kb = 0.114;
    if (space.matrix == ColourMatrix::Bt709) kr = 0.2126, kb = 0.0722;
    if (space.matrix == ColourMatrix::Bt2020) kr = 0.2627, kb = 0.0593;
    const double kg = 1.0 - kr - kb;
    // Y' = ys * y + yo and Pb = cs * cb + co (Pr likewise), from 8-bit samples read as 0..1:
    // limited range puts black at 16, white at 235 and the chroma extremes at 16 and 240.
    const double ys = space.fullRange ? 1.0 : 255.0 / 219.0;
    const double yo = space.fullRange ? 0.0 : -16.0 / 219.0;
    const double cs = space.fullRange ? 1.0 : 255.0 / 224.0;
    const double co = space.fullRange ? -128.0 / 255.0 : -128.0 / 224.0;
    const double rFromPr = 2.0 * (1.0 - kr);
    const double bFromPb = 2.0 * (1.0 - kb);
    const double gFromPb = -2.0 * kb * (1.0 - kb) / kg;
    const double gFromPr = -2.0 * kr * (1.0 - kr) / kg;
    return {{
        {ys, 0.0, rFromPr * cs, yo + rFromPr * co},
        {ys, gFromPb * cs, gFromPr * cs, yo + (gFromPb + gFromPr) * co},
        {ys, bFromPb * cs, 0.0, yo + bFromPb * co},
    }};
}

Affine inverse(const Affine& a) {
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    Affine inv{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            // Cofactor of a[j][i], divided by the determinant.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = (a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0]) / det;
        }
    }
    for (int i = 0; i < 3; ++i) {
        inv[i][3] = -(inv[i][0] * a[0][3] + inv[i][1] * a[1][3] + inv[i][2] * a[2][3]);
    }
    return inv;
}

// first, then second.
Affine compose(const Affine& second, const Affine& first) {
    Affine out{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            double v = j == 3 ? second[i][3] : 0.0;
            for (int k = 0; k < 3; ++k) v += second[i][k] * first[k][j];
            out[i][j] = v;
        }
    }
    return out;
}

YuvToRgb toFloats(const Affine& m) {
    YuvToRgb out{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) out.rows[i][j] = static_cast<float>(m[i][j]);
    }
    return out;
}

}  // namespace

YuvToRgb yuvToRgb(ColourSpace space) {
    return toFloats(toRgbMap(space));
}

PictureColour pictureColour(ColourSpace space) {
    return {space, yuvToRgb(space)};
}

PictureColour pictureColourAfterBt601Decoder(const StreamColour& stream, int32_t height,
                                             ColourSpace intended) {
    ColourSpace assumed;
    assumed.matrix = stream.matrix    ? *stream.matrix
                     : height >= 2160 ? ColourMatrix::Bt2020
                     : height > 576   ? ColourMatrix::Bt709
                                      : ColourMatrix::Bt601;
    assumed.fullRange = stream.fullRange.value_or(false);
    // BT.601 pictures pass unchanged: their samples are what the stream coded.
    if (assumed.matrix == ColourMatrix::Bt601) return pictureColour(intended);
    const ColourSpace samples{ColourMatrix::Bt601, false};
    // The decoder made RGB with its assumption and coded that as BT.601: back to what the stream
    // coded, then to RGB as intended.
    const Affine back = compose(inverse(toRgbMap(assumed)), toRgbMap(samples));
    return {samples, toFloats(compose(toRgbMap(intended), back))};
}

}  // namespace tov
