#pragma once
// The captions of the tool's message boxes, shared by the editing rules and
// the dialogs.

namespace kelvt {

inline constexpr char kAppTitle[] = "Kelvo-Tarn";          // application title
inline constexpr char kWindowCaption[] = "Kelvo-Tarn 2.0";  // named caption

}  // namespace kelvt
