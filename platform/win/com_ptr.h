// The one owner of a COM interface pointer.
#pragma once

#include <wrl/client.h>

namespace tov {
template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;
}
