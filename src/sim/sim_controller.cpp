#include "sim/sim_controller.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "sim/scan_reply.h"

namespace kelvt::sim {
namespace {

constexpr char kWake = static_cast<char>(0xF8);

// Draws are compared as integers so a seed gives the same replies whatever
// the standard library's distributions do.
uint32_t GarbleThreshold(double rate) {
  if (!(rate > 0)) return 0;
  if (rate >= 1) return UINT32_MAX;
  return static_cast<uint32_t>(rate * 4294967296.0);
}
constexpr char kEsc = 0x1B;
constexpr char kFs = 0x1C;
constexpr char kCr = 0x0D;
constexpr char kLf = 0x0A;
constexpr char kBoardListEnd = '*';  // any byte but 'E' and 'R' ends the board list

constexpr int kPartNumberAt = 66;
constexpr int kPartNumberSize = 6;
constexpr int kDateCodeAt = 72;
constexpr int kDateCodeSize = 4;
constexpr int kCheckSumAt = 76;
constexpr int kNewLetterAt = 65;
constexpr int kBaudAt = 5;
constexpr int kMode1At = 3;
constexpr int kMode2At = 4;

bool IsLetter(char c) { return c >= 'A' && c <= 'O'; }

// A field of 0x01 bytes in a received set means "keep what you have": the
// editor sends the part number and date code that way.
bool IsKeepMarker(const char* field, int size) {
  return std::all_of(field, field + size, [](char c) { return c == 0x01; });
}

std::array<char, 4> Digits(int value) {
  value = std::clamp(value, 0, 9999);
  return {static_cast<char>('0' + value / 1000), static_cast<char>('0' + value / 100 % 10),
          static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

void WriteCheckSum(Image& psf) {
  long sum = 27;  // the ESC that leads the frame counts too
  for (int i = 0; i < kCheckSumAt; ++i) sum += static_cast<signed char>(psf[i]);
  char text[16];
  std::snprintf(text, sizeof text, "%05ld", sum);
  std::copy(text, text + 5, psf.begin() + kCheckSumAt);
}

bool CheckSumValid(const Image& psf) {
  Image copy = psf;
  WriteCheckSum(copy);
  return std::equal(copy.begin() + kCheckSumAt, copy.end(), psf.begin() + kCheckSumAt);
}

long RateOfBaudByte(char code) {
  switch (code) {
    case 'A': return 9600;
    case 'B': return 19200;
    case 'C': return 38400;
    default: return 0;
  }
}

char BaudByteOfRate(long rate) {
  switch (rate) {
    case 9600: return 'A';
    case 19200: return 'B';
    case 38400: return 'C';
    default: return 0;
  }
}

uint32_t TransferMs(size_t bytes, long baud) {
  if (baud <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(bytes) * 12u * 1000u;
  return static_cast<uint32_t>((bits + static_cast<uint64_t>(baud) - 1) / static_cast<uint64_t>(baud));
}

SimController::SimController(SimConfig config)
    : psf_(config.psf),
      baud_(RateOfBaudByte(config.psf[kBaudAt]) != 0 ? RateOfBaudByte(config.psf[kBaudAt]) : 9600),
      boards_(std::move(config.boards)),
      beams_(std::move(config.beams)),
      null_span_(config.null_span),
      aux_(config.aux),
      silent_(config.silent),
      no_ack_(config.no_ack),
      corrupt_(config.corrupt),
      corrupt_after_(config.corrupt_after),
      corrupt_psf_reads_(config.corrupt_psf_reads),
      garble_threshold_(GarbleThreshold(config.garble_rate)),
      noise_(config.seed),
      stop_after_(config.stop_after),
      vanish_after_(config.vanish_after) {}

bool SimController::LineMatches(long line_baud, bool two_stop_bits) const {
  return line_baud == baud_ && two_stop_bits;
}

void SimController::Receive(const char* data, size_t n, uint64_t now_ms,
                            std::vector<SimEvent>& events) {
  if (vanished_ || n == 0) return;
  buffer_.insert(buffer_.end(), data, data + n);
  last_byte_ms_ = now_ms;
  Parse(now_ms, false, events);
}

void SimController::Poll(uint64_t now_ms, std::vector<SimEvent>& events) {
  if (vanished_ || buffer_.empty()) return;
  Parse(now_ms, true, events);
}

bool SimController::NextDeadline(uint64_t* when) const {
  if (vanished_ || buffer_.empty()) return false;
  *when = last_byte_ms_ + (buffer_[0] == kWake ? kWakeGapMs : kFrameGapMs);
  return true;
}

void SimController::Consume(size_t n, std::vector<char>& request) {
  n = std::min(n, buffer_.size());
  request.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
}

void SimController::Parse(uint64_t now_ms, bool quiet, std::vector<SimEvent>& events) {
  const uint64_t silence = quiet ? now_ms - last_byte_ms_ : 0;
  while (!buffer_.empty() && !vanished_) {
    const char lead = buffer_[0];
    if (lead == kWake) {
      // F8 alone wakes; F8 id S scans. Tell them apart by what follows.
      if (buffer_.size() >= 3 && buffer_[1] != kWake && buffer_[2] == 'S') {
        Consume(3, request_);
        OnScan(now_ms, events);
        continue;
      }
      if (buffer_.size() >= 2 && (buffer_.size() >= 3 || buffer_[1] == kWake ||
                                  !IsLetter(buffer_[1]))) {
        Consume(1, request_);
        OnWake(events);
        continue;
      }
      if (silence >= kWakeGapMs) {
        Consume(1, request_);
        OnWake(events);
        continue;
      }
      return;  // wait for the rest of a scan request, or for silence
    }

    if (lead == kEsc) {
      if (buffer_.size() >= 2 && !IsLetter(buffer_[1])) {
        Consume(1, request_);
        events.push_back({SimEvent::kDropped, request_, {}, "ESC without a controller letter", 0});
        continue;
      }
      size_t need = 83;
      char end = kCr;
      if (buffer_.size() >= 3) {
        if (buffer_[2] == 'D' || buffer_[2] == 'H') {
          need = 4;
        } else if (buffer_[2] == 'K') {
          need = 21;
          end = kLf;
        }
      }
      if (buffer_.size() < 3 || buffer_.size() < need) {
        if (silence >= kFrameGapMs) {
          Consume(buffer_.size(), request_);
          events.push_back({SimEvent::kDropped, request_, {}, "unfinished frame", 0});
        }
        return;
      }
      if (buffer_[need - 1] != end) {
        Consume(1, request_);
        events.push_back({SimEvent::kDropped, request_, {}, "frame without its end byte", 0});
        continue;
      }
      Consume(need, request_);
      if (request_[1] != Id()) {
        Ignore(request_, std::string("addressed to controller ") + request_[1], events);
        continue;
      }
      switch (request_[2]) {
        case 'D': OnPsfRead(events); break;
        case 'H': OnDiagnostics(events); break;
        case 'K': OnNullSpan(events); break;
        default: OnPsfWrite(events); break;
      }
      continue;
    }

    // Noise: everything up to the next byte that can begin a request.
    size_t k = 1;
    while (k < buffer_.size() && buffer_[k] != kWake && buffer_[k] != kEsc) ++k;
    Consume(k, request_);
    events.push_back({SimEvent::kDropped, request_, {}, "no request", 0});
  }
}

void SimController::Ignore(std::vector<char> request, std::string note,
                           std::vector<SimEvent>& events) {
  events.push_back({SimEvent::kIgnored, std::move(request), {}, std::move(note), 0});
}

void SimController::Answer(std::vector<char> request, std::vector<char> reply, std::string note,
                           long new_baud, std::vector<SimEvent>& events) {
  if (corrupt_ || (corrupt_after_ >= 0 && replies_ >= corrupt_after_)) {
    // Flip a bit in every byte: framing bytes, letters and values all change.
    for (char& c : reply) c = static_cast<char>(c ^ 0x20);
    note += " (corrupted)";
  }
  if (garble_threshold_ != 0 && !reply.empty() &&
      (garble_threshold_ == UINT32_MAX || noise_() < garble_threshold_)) {
    // A noisy line: one byte of the reply arrives with every bit inverted.
    const size_t at = noise_() % reply.size();
    reply[at] = static_cast<char>(~reply[at]);
    note += " (byte " + std::to_string(at) + " garbled)";
  }
  ++replies_;
  events.push_back({SimEvent::kReply, std::move(request), std::move(reply), std::move(note),
                    new_baud});
}

// Faults decide before anything changes: a controller that does not answer
// has not taken the request either.
bool SimController::Answerable(std::vector<SimEvent>& events) {
  if (vanish_after_ >= 0 && replies_ >= vanish_after_) {
    vanished_ = true;
    buffer_.clear();
    events.push_back({SimEvent::kVanish, request_, {}, "vanishing", 0});
    return false;
  }
  if (silent_) {
    Ignore(request_, "silent", events);
    return false;
  }
  if (stop_after_ >= 0 && replies_ >= stop_after_) {
    Ignore(request_, "stopped answering", events);
    return false;
  }
  return true;
}

void SimController::OnWake(std::vector<SimEvent>& events) {
  if (!Answerable(events)) return;
  Answer(request_, {kFs, Id(), aux_, kLf}, "wake-up", 0, events);
}

void SimController::OnScan(uint64_t now_ms, std::vector<SimEvent>& events) {
  if (request_[1] != Id()) {
    Ignore(request_, std::string("scan for controller ") + request_[1], events);
    return;
  }
  if (!Answerable(events)) return;
  beams_.Fill(BeamCount(boards_), now_ms, broken_);
  beams_.AddFlicker(scans_answered_++, broken_);
  std::vector<char> reply;
  BuildScanReply(Id(), psf_[kMode1At], psf_[kMode2At], broken_, reply);
  const char* what = LayoutFor(psf_[kMode1At], psf_[kMode2At]) == ScanLayout::kBeamMap
                         ? "scan: beam map"
                         : "scan: measurement";
  Answer(request_, std::move(reply), what, 0, events);
}

void SimController::OnPsfRead(std::vector<SimEvent>& events) {
  if (!Answerable(events)) return;
  std::vector<char> reply;
  reply.reserve(kImageSize + 2);
  reply.push_back(kFs);
  reply.insert(reply.end(), psf_.begin(), psf_.end());
  reply[2] = 'E';
  reply.push_back(kLf);
  if (corrupt_psf_reads_ > 0) {
    // A set that cannot be read while every other command works.
    --corrupt_psf_reads_;
    for (char& c : reply) c = static_cast<char>(c ^ 0x20);
    Answer(request_, std::move(reply), "PSF read (corrupted)", 0, events);
    return;
  }
  Answer(request_, std::move(reply), "PSF read", 0, events);
}

void SimController::OnPsfWrite(std::vector<SimEvent>& events) {
  Image image;
  std::copy(request_.begin() + 1, request_.begin() + 1 + kImageSize, image.begin());
  if (image[1] != 'C') {
    Ignore(request_, "PSF refused: command byte is not C", events);
    return;
  }
  if (!CheckSumValid(image)) {
    Ignore(request_, "PSF refused: wrong check sum", events);
    return;
  }
  if (no_ack_) {
    Ignore(request_, "PSF not acknowledged (fault)", events);
    return;
  }
  if (!Answerable(events)) return;

  if (IsKeepMarker(&image[kPartNumberAt], kPartNumberSize)) {
    std::copy_n(psf_.begin() + kPartNumberAt, kPartNumberSize, image.begin() + kPartNumberAt);
  }
  if (IsKeepMarker(&image[kDateCodeAt], kDateCodeSize)) {
    std::copy_n(psf_.begin() + kDateCodeAt, kDateCodeSize, image.begin() + kDateCodeAt);
  }
  if (IsLetter(image[kNewLetterAt])) image[0] = image[kNewLetterAt];
  const long rate = RateOfBaudByte(image[kBaudAt]);
  WriteCheckSum(image);
  psf_ = image;

  std::string note = "PSF accepted";
  long new_baud = 0;
  if (rate != 0 && rate != baud_) {
    new_baud = rate;
    baud_ = rate;
    note += ", now at " + std::to_string(rate) + " baud";
  }
  Answer(request_, {kFs, Id(), 'J', kCr}, note, new_baud, events);
}

void SimController::OnDiagnostics(std::vector<SimEvent>& events) {
  if (!Answerable(events)) return;
  std::vector<char> reply = {kFs, Id(), 'I'};
  for (const SimBoard& b : boards_) {
    reply.insert(reply.end(), {b.kind, b.tag, b.channel_code, b.error_code});
  }
  reply.push_back(kBoardListEnd);
  reply.insert(reply.end(), psf_.begin() + kPartNumberAt,
               psf_.begin() + kPartNumberAt + kPartNumberSize);
  reply.insert(reply.end(), psf_.begin() + kDateCodeAt, psf_.begin() + kDateCodeAt + kDateCodeSize);
  reply.push_back(kCr);
  Answer(request_, std::move(reply), "diagnostics", 0, events);
}

void SimController::OnNullSpan(std::vector<SimEvent>& events) {
  const char function = request_[3];
  if (function != 'T' && function != 'N' && function != 'S' && function != 'E') {
    Ignore(request_, std::string("unknown null/span function ") + function, events);
    return;
  }
  if (!Answerable(events)) return;
  if (function != 'T') {
    for (int v = 0; v < 4; ++v) {
      int value = 0;
      for (int d = 0; d < 4; ++d) value = value * 10 + (request_[4 + v * 4 + d] & 0x0F);
      null_span_[v] = value;
    }
  }
  std::vector<char> reply = {kEsc, Id(), 'K', function == 'T' ? 'T' : 'U'};
  for (int value : null_span_) {
    const auto d = Digits(value);
    reply.insert(reply.end(), d.begin(), d.end());
  }
  reply.push_back(kLf);
  Answer(request_, std::move(reply), function == 'T' ? "null/span read" : "null/span update",
         0, events);
}

}  // namespace kelvt::sim
