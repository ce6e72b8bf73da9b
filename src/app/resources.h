#pragma once
// The pictures compiled into the program (splash picture, icon). The library
// is static, so their registration is pulled in explicitly.

namespace kelvt {

void EnsureResources();

}  // namespace kelvt
