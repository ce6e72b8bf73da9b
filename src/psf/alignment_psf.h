#pragma once
// The parameter set that makes the controller answer every scan request with
// its full beam map, made from the set it held before alignment.

#include "psf/psf_image.h"

namespace kelvt {

// Codes the alignment set carries.
inline constexpr char kAlignMeasurement1 = 'I';   // "ALL"
inline constexpr char kAlignMeasurement2 = 'K';   // "None"
inline constexpr char kAlignScanControl = 'c';    // Host Mode
inline constexpr char kAlignTransmission = 'c';   // binary, no options
inline constexpr char kAlignScanningMethod = 'a'; // Straight

// `working` becomes a copy of `saved` with measurement 1 "ALL", measurement
// 2 "None", Host Mode, binary transmission and Straight scanning; every other
// byte, the check sum included, is left for the send to settle.
void MakeAlignmentPsf(const PsfImage& saved, PsfImage& working);

}  // namespace kelvt
