// The value boxes as wholes: which rule typing and leaving each one runs.

#include <algorithm>
#include <bit>
#include <cstring>

#include "psf/config_rules.h"

namespace kelvt {
namespace {

std::string_view BoxFieldText(const BoxFieldRef& f) {
  return std::string_view(f.data, strnlen(f.data, static_cast<std::size_t>(f.size)));
}

void StoreBoxFieldText(const BoxFieldRef& f, std::string_view text) {
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(f.size - 1));
  std::memcpy(f.data, text.data(), n);
  f.data[n] = '\0';
}

}  // namespace

const ValueBoxInfo& ValueBoxInfoOf(ValueBox box) {
  const int index = std::countr_zero(static_cast<unsigned>(box));
  return kValueBoxes[std::clamp(index, 0, 20)];
}

int ValueBoxMaxLength(BoxKind kind) {
  switch (kind) {
    case BoxKind::kScanCount: return kScanBoxLength;
    case BoxKind::kInvert: return kInvertBoxLength;
    default: return kValueBoxLength;
  }
}

RuleResult LeaveValueBox(PsfRecord& r, ValueBox box) {
  const ValueBoxInfo& info = ValueBoxInfoOf(box);
  const BoxFieldRef field = ValueBoxField(r, box);
  switch (info.kind) {
    case BoxKind::kBlankingLow: return CheckBlankingLow(r, info.which);
    case BoxKind::kBlankingHigh: return CheckBlankingHigh(r, info.which);
    case BoxKind::kSetPointLow: return CheckSetPointLow(r, info.which);
    case BoxKind::kSetPointHigh: return CheckSetPointHigh(r, info.which);
    case BoxKind::kHysteresisLow: return CheckHysteresis(r, info.which, Side::kLow);
    case BoxKind::kHysteresisHigh: return CheckHysteresis(r, info.which, Side::kHigh);
    case BoxKind::kTriggerValue: return CheckTriggerValue(r);
    case BoxKind::kScanCount: {
      // The rule reads the text: take a copy, it rewrites the field.
      const std::string text(BoxFieldText(field));
      return LeaveScanCount(r, info.scan_box, text);
    }
    case BoxKind::kInvert: break;
  }
  RuleResult result;
  result.states = ComputeFieldStates(r);
  const TypedText left = LeaveInvert(BoxFieldText(field));
  if (left.rewrite) {
    StoreBoxFieldText(field, left.text);
    result.rewritten = box;
  }
  return result;
}

RuleResult EnterValueBox(PsfRecord& r, ValueBox box, std::string_view text, std::string& kept) {
  const ValueBoxInfo& info = ValueBoxInfoOf(box);
  text = text.substr(0, static_cast<std::size_t>(ValueBoxMaxLength(info.kind)));
  if (info.kind == BoxKind::kScanCount) {
    (void)NormalizeScanCount(r, info.scan_box, text);
  } else {
    const TypedText typed = info.kind == BoxKind::kInvert ? NormalizeInvert(text) : FilterDigits(text);
    StoreBoxFieldText(ValueBoxField(r, box), typed.rewrite ? typed.text : std::string(text));
  }
  kept = std::string(BoxFieldText(ValueBoxField(r, box)));
  return LeaveValueBox(r, box);
}

}  // namespace kelvt
