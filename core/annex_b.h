// H.264 and HEVC byte streams (Annex-B): the NAL units behind their start codes, each unit's
// type, and its payload as the syntax is written (emulation-prevention bytes taken out).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tov {

// The NAL units of an Annex-B byte stream, without their start codes, as views into `stream`.
// Bytes before the first start code are not a NAL unit and are left out, as are the zero bytes
// in front of a start code (a four-byte code's leading zero, trailing zeros) and empty units.
// The last unit runs to the end of the stream.
std::vector<std::string_view> splitAnnexB(std::string_view stream);

// The type in the unit's header (HEVC: 6 bits of a 2-byte header; H.264: 5 bits of 1 byte);
// -1 for an empty unit.
int nalType(bool hevc, std::string_view nal);

// The bytes after the unit's header with the emulation-prevention bytes (a 3 after two zeros)
// removed: what a bit reader reads. Empty when the unit holds no more than its header.
std::string nalPayload(bool hevc, std::string_view nal);

}  // namespace tov
