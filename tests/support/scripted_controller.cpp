#include "support/scripted_controller.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "link/controller_link.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt::test {
namespace {

constexpr char kWakeByte = static_cast<char>(0xF8);
constexpr int kSumAt = 76;

// The set's check sum, reckoned here rather than by the tool, so that a
// wrong sum in the tool cannot pass: bytes 0-75 as signed values plus the
// 27 of the ESC that leads the frame, as five digits.
void FormatSum(const char* image, char out[6]) {
  long sum = 27;
  for (int i = 0; i < kSumAt; ++i) sum += static_cast<signed char>(image[i]);
  std::snprintf(out, 6, "%05ld", sum);
}

bool SumHolds(const char* image) {
  char sum[6];
  FormatSum(image, sum);
  return std::memcmp(sum, image + kSumAt, 5) == 0;
}

// The default parameter set, addressed to `id`, with a part number and date code.
void DefaultPsf(char* psf, char id) {
  char out[kPsfSize + 1];
  PsfRecord().Encode(out);
  PsfImage image;
  image.FromBytes(out, id);
  image[65] = id;
  image.SetPartNumber("123456");
  image.SetDateCode("0124");
  std::memcpy(psf, image.Data(), kPsfSize);
  char sum[6];
  FormatSum(psf, sum);
  std::memcpy(psf + kSumAt, sum, 5);
}

int Digits4(const char* p) {
  int v = 0;
  for (int i = 0; i < 4; ++i) v = v * 10 + (p[i] & 0x0F);
  return v;
}

// kelvt-sim's controller as `scripted` stands, with `faults`.
sim::SimConfig SimConfigOf(const ScriptedController& scripted, const sim::SimConfig& faults) {
  sim::SimConfig config;
  std::memcpy(config.psf.data(), scripted.psf, sim::kImageSize);
  const bool sum_held = sim::CheckSumValid(config.psf);
  config.psf[0] = scripted.id;
  config.psf[5] = sim::BaudByteOfRate(scripted.baud);
  if (sum_held) sim::WriteCheckSum(config.psf);
  // The boards of its diagnostics reply: FS id 'I', then four bytes a board.
  const std::string& d = scripted.diagnostics;
  for (size_t at = 3; at + 4 <= d.size() && (d[at] == 'E' || d[at] == 'R'); at += 4) {
    config.boards.push_back({d[at], d[at + 1], d[at + 2], d[at + 3]});
  }
  std::copy(std::begin(scripted.null_span), std::end(scripted.null_span), config.null_span.begin());
  config.aux = scripted.aux;
  return WithFaults(config, faults);
}

}  // namespace

ScriptedController::ScriptedController(long rate, char letter) : baud(rate), id(letter) {
  DefaultPsf(psf, letter);
  diagnostics = DiagnosticsReply(letter, {{'E', '1', '8', '0'}, {'R', '1', '8', '0'}});
  scan_payload = BeamPayload(16, {});
}

void ScriptedController::Attach(ScriptedPort& port) {
  port.SetResponder([this](ScriptedPort& p, const char* data, int count, long rate) {
    OnWrite(p, data, count, rate);
  });
}

std::string ScriptedController::DiagnosticsReply(char letter, const std::vector<DiagBoard>& boards,
                                                 std::string_view part, std::string_view date) {
  std::string r;
  r.push_back(kFs);
  r.push_back(letter);
  r.push_back('I');
  for (const DiagBoard& b : boards) {
    r.push_back(b.kind);
    r.push_back(b.tag);
    r.push_back(b.channel);
    r.push_back(b.error);
  }
  r.push_back('*');  // anything but 'E' or 'R' ends the board list
  r.append(std::string(part).substr(0, 6));
  r.append(6 - std::min<size_t>(6, part.size()), ' ');
  r.append(std::string(date).substr(0, 4));
  r.append(4 - std::min<size_t>(4, date.size()), ' ');
  r.push_back(kCr);
  return r;
}

std::string ScriptedController::BeamPayload(int n, const std::vector<int>& broken) {
  std::string p(static_cast<size_t>((n + 7) / 8), '\0');
  for (int b : broken) {
    if (b >= 0 && b < n) p[static_cast<size_t>(b / 8)] |= static_cast<char>(1 << (b % 8));
  }
  return p;
}

void ScriptedController::Send(ScriptedPort& port, const char* data, int count) {
  if (truncate_replies >= 0) count = std::min(count, truncate_replies);
  port.QueueBytes(data, count, 0, baud);
}

void ScriptedController::OnWrite(ScriptedPort& port, const char* d, int n, long rate) {
  if (rate != baud) {
    ++wrong_rate;
    if (!noise_at_wrong_rate.empty()) port.QueueReply(noise_at_wrong_rate, 0, 0);
    return;
  }
  if (intercept && intercept(*this, port, d, n)) return;
  const bool addressed = n >= 2 && d[1] == id;

  if (n == 1 && d[0] == kWakeByte) {
    ++wakes;
    if (!stray_before_wake.empty()) Send(port, stray_before_wake.data(), static_cast<int>(stray_before_wake.size()));
    const char r[4] = {kFs, id, aux, wake_terminator};
    Send(port, r, 4);
    return;
  }
  if (n == 3 && d[0] == kWakeByte && d[2] == 'S') {
    if (!addressed) {
      ++misaddressed;
      return;
    }
    ++scans;
    if (scans_unanswered > 0) {
      --scans_unanswered;
      return;
    }
    const int len = std::min<int>(static_cast<int>(scan_payload.size()), sizeof reply_ - 3);
    reply_[0] = kFs;
    reply_[1] = id;
    std::memcpy(reply_ + 2, scan_payload.data(), static_cast<size_t>(len));
    reply_[2 + len] = kLf;
    Send(port, reply_, len + 3);
    return;
  }
  if (n == 4 && d[0] == kEsc && d[3] == kCr && (d[2] == 'D' || d[2] == 'H')) {
    if (!addressed) {
      ++misaddressed;
      return;
    }
    if (d[2] == 'D') {
      ++psf_reads;
      reply_[0] = kFs;
      std::memcpy(reply_ + 1, psf, kPsfSize);
      reply_[2] = 'E';
      reply_[82] = kLf;
      Send(port, reply_, kPsfFrameSize);
    } else {
      ++diag_reads;
      if (!diagnostics.empty()) Send(port, diagnostics.data(), static_cast<int>(diagnostics.size()));
    }
    return;
  }
  if (n == kPsfFrameSize && d[0] == kEsc && d[2] == 'C' && d[82] == kCr) {
    if (!addressed) {
      ++misaddressed;
      return;
    }
    const char* image = d + 1;
    if (!SumHolds(image)) {
      ++psf_rejected;
      return;
    }
    ++psf_writes;
    std::memcpy(psf, image, kPsfSize);
    const char new_id = (image[65] >= 'A' && image[65] <= 'O') ? image[65] : id;
    const char r[4] = {kFs, ack_id != 0 ? ack_id : new_id, 'J', ack_terminator};
    Send(port, r, 4);
    id = new_id;
    if (image[5] >= 'A' && image[5] <= 'C') baud = BaudRateTable[image[5] - 'A'];
    return;
  }
  if (n == 21 && d[0] == kEsc && d[2] == 'K' && d[20] == kLf) {
    if (!addressed) {
      ++misaddressed;
      return;
    }
    ++null_span_frames;
    const char fn = d[3];
    if (fn == 'N' || fn == 'S' || fn == 'E') {
      for (int k = 0; k < 4; ++k) null_span[k] = Digits4(d + 4 + 4 * k);
    } else if (fn != 'T') {
      ++unknown_frames;
      return;
    }
    char r[21];
    r[0] = kEsc;
    r[1] = id;
    r[2] = 'K';
    r[3] = fn == 'T' ? 'T' : 'U';
    for (int k = 0; k < 4; ++k) {
      int v = null_span[k] < 0 ? 0 : null_span[k] % 10000;
      for (int j = 3; j >= 0; --j, v /= 10) r[4 + 4 * k + j] = static_cast<char>('0' + v % 10);
    }
    r[20] = kLf;
    Send(port, r, 21);
    return;
  }
  ++unknown_frames;
}

void FaultSwitch::Attach(ScriptedPort& port) {
  port.SetResponder([this](ScriptedPort& p, const char* data, int count, long baud) {
    sim_ ? sim_->OnWrite(p, data, count, baud) : scripted_.OnWrite(p, data, count, baud);
  });
}

SimResponder& FaultSwitch::Fault(const sim::SimConfig& faults) {
  sim_ = std::make_unique<SimResponder>(SimConfigOf(scripted_, faults));
  return *sim_;
}

}  // namespace kelvt::test
