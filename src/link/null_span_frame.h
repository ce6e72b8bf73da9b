#pragma once
// The 21-byte frames that read and trim the null and span of the two analog
// outputs, and the input rules of the fields that edit those four values.
//
// Frame: ESC, controller letter, 'K', function letter, null 1, span 1,
// null 2, span 2 (four ASCII digits each, zero-padded), LF. Our buffers carry
// a NUL after byte 20 so the frame can go out as a NUL-terminated text.

#include <string>
#include <string_view>

namespace kelvt {

class ControllerLink;

inline constexpr int kNullSpanFrameSize = 21;
// Frame plus the terminating NUL.
inline constexpr int kNullSpanBufferSize = kNullSpanFrameSize + 1;

// Function letters (byte 3).
inline constexpr char kNullSpanRead = 'T';
inline constexpr char kNullSpanNullUpdate = 'N';
inline constexpr char kNullSpanSpanUpdate = 'S';
inline constexpr char kNullSpanFinish = 'E';
inline constexpr char kNullSpanUpdated = 'U';  // the controller's acknowledgement

// Ranges of the scroll bars: a null is the bottom of the scale, a span its top.
inline constexpr int kNullMin = 0;
inline constexpr int kNullMax = 1000;
inline constexpr int kSpanMin = 2000;
inline constexpr int kSpanMax = 4095;
// The edit fields hold at most this many digits.
inline constexpr int kNullSpanDigits = 4;

// The four values in frame order.
struct NullSpanValues {
  int null1 = 0;
  int span1 = 0;
  int null2 = 0;
  int span2 = 0;

  int& operator[](int i);
  int operator[](int i) const;
  bool operator==(const NullSpanValues&) const = default;
};

// Writes the 21-byte frame and a NUL into buffer[kNullSpanBufferSize].
// Values outside 0..9999 are clamped so each always fits its four digits.
void BuildNullSpanFrame(char* buffer, char controller_letter, char function,
                        const NullSpanValues& values);

// The read request: ESC, 'A', 'K', 'T', sixteen '0', LF (the link puts the
// real controller letter into byte 1 when it sends it).
void BuildNullSpanReadRequest(char* buffer);

// Decodes bytes 4..19: each character counts with its low four bits,
// weighted 1000, 100, 10, 1. Garbage therefore decodes to at most 16665.
NullSpanValues DecodeNullSpanValues(const char* frame);

// A reply counts only as a whole frame: ESC, the letter of the controller
// that was asked, 'K', the expected function letter, sixteen digits, LF. A
// garbled reply would otherwise decode into plausible wrong values.
bool IsNullSpanReply(const char* reply, char controller_letter, char function);

// An update is acknowledged when the reply is a whole 'U' frame from
// `controller_letter` and the four echoed values equal the ones sent.
bool IsNullSpanUpdateAcknowledged(const char* reply, char controller_letter,
                                  const NullSpanValues& sent);

// Reads the four values into `frame` (kNullSpanBufferSize bytes): builds the
// read request and exchanges it. 1 only when the reply is a whole 'T' frame
// from the controller that answered the wake-up and the port flagged no line
// error while it came; else 0, and the frame holds nothing to use: a bad
// reply is no reply.
int ReadNullSpanFrame(ControllerLink& link, char* frame);

enum class NullSpanUpdateResult {
  kAcknowledged,
  kNotSent,          // not sent, or no whole reply in time
  kNotAcknowledged,  // a reply came, but not the echo of what was sent
};
// Sends an update frame built by BuildNullSpanFrame (its letter in byte 1)
// and checks the echo; a reply during which the port flagged a line error
// confirms nothing. The reply overwrites the frame.
NullSpanUpdateResult SendNullSpanUpdate(ControllerLink& link, char* frame,
                                        const NullSpanValues& sent);

// Typing filter of a null/span field: at most four characters are looked at,
// only digits are kept, and a leading '0' is dropped when more than one
// digit remains (a lone 0 stays, 07 becomes 7).
std::string FilterNullSpanText(std::string_view text);

// Reads at most four characters of a field as a decimal number; an empty
// field (or one without leading digits) counts as 0.
int NullSpanFieldValue(std::string_view text);

// What leaving a field does: the number it holds, clamped into its bar's
// range. rewrite is true when the field's text must be replaced with value
// (above the maximum, or at or below the minimum).
struct NullSpanLeave {
  int value;
  bool rewrite;
};
NullSpanLeave ClampNullSpanField(std::string_view text, int min, int max);

// Horizontal scroll-bar notifications as the dialog sees them.
enum class ScrollAction {
  kLineLeft,
  kLineRight,
  kThumbTrack,
  kThumbRelease,
  kOther,  // page steps, jumps to either end, end of scrolling
};

// What a notification does to the bar and its paired field.
struct ScrollOutcome {
  bool move_bar;    // set the bar to position
  int position;
  bool write_text;  // replace the paired field's text with position
};

// current: the bar's position when the notification arrived; thumb: the
// thumb's position for tracking and release. Arrows step by one and clamp to
// the range; tracking only moves the bar; a release moves the bar and writes
// the released position; anything else changes nothing.
ScrollOutcome ApplyScroll(ScrollAction action, int current, int thumb, int min, int max);

}  // namespace kelvt
