#include "sim/sim_options.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "psf/psf_file.h"
#include "psf/psf_record.h"

namespace kelvt::sim {
namespace {

constexpr int kMaxPsfFileSize = 1 << 20;

bool LoadPsfFile(const std::string& path, Image& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open PSF file " + path;
    return false;
  }
  std::string text;
  text.reserve(kPsfReadLimit);
  char buf[4096];
  while (in && static_cast<int>(text.size()) < kMaxPsfFileSize) {
    in.read(buf, sizeof buf);
    text.append(buf, static_cast<size_t>(in.gcount()));
  }
  char bytes[kImageSize + 1] = {};
  if (ParsePsfText(text.data(), text.size(), bytes) == 0) {
    error = "not a PSF file: " + path;
    return false;
  }
  std::copy_n(bytes, kImageSize, image.begin());
  return true;
}

bool SetText(Image& image, int at, int size, const std::string& text, const char* what,
             std::string& error) {
  if (static_cast<int>(text.size()) != size) {
    error = std::string(what) + " must be exactly " + std::to_string(size) + " characters";
    return false;
  }
  std::copy(text.begin(), text.end(), image.begin() + at);
  return true;
}

bool SetMode(Image& image, int at, const std::string& name, std::string& error) {
  if (name.empty()) return true;
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const char* names[] = {"FBB", "LBB", "TBB", "CBB", "FBM", "LBM", "TBM", "CBM", "ALL", "VHS"};
  for (const char* n : names) {
    if (upper == n) {
      image[at] = MeasurementCode(n);
      return true;
    }
  }
  if (upper == "NONE") {
    image[at] = MeasurementCode("None");
    return true;
  }
  error = "unknown measurement mode \"" + name + "\" (FBB LBB TBB CBB FBM LBM TBM CBM ALL VHS None)";
  return false;
}

bool ParseNullSpan(const std::string& text, std::array<int, 4>& out, std::string& error) {
  std::array<int, 4> values{};
  std::istringstream in(text);
  std::string item;
  int i = 0;
  while (std::getline(in, item, ',')) {
    if (i >= 4 || item.empty() || item.size() > 4 ||
        !std::all_of(item.begin(), item.end(), [](unsigned char c) { return std::isdigit(c); })) {
      i = -1;
      break;
    }
    values[i++] = std::stoi(item);
  }
  if (i != 4) {
    error = "null/span needs four values 0..9999: null1,span1,null2,span2";
    return false;
  }
  out = values;
  return true;
}

}  // namespace

bool BuildConfig(const SimOptions& options, SimConfig& config, std::string& error) {
  Image image{};
  if (!options.psf_file.empty()) {
    if (!LoadPsfFile(options.psf_file, image, error)) return false;
    // The letter the controller answers to is the one the set assigns it.
    if (image[65] >= 'A' && image[65] <= 'O') image[0] = image[65];
    if (image[0] < 'A' || image[0] > 'O') image[0] = 'A';
    if (RateOfBaudByte(image[5]) == 0) image[5] = 'A';
  } else {
    PsfRecord record;
    char encoded[kImageSize + 1];
    record.Encode(encoded);
    std::copy_n(encoded, kImageSize, image.begin());
    std::copy_n(kDefaultPartNumber, 6, image.begin() + 66);
    std::copy_n(kDefaultDateCode, 4, image.begin() + 72);
  }
  image[1] = 'C';

  if (!options.id.empty()) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(options.id[0])));
    if (options.id.size() != 1 || letter < 'A' || letter > 'O') {
      error = "controller letter must be one of A..O";
      return false;
    }
    image[0] = letter;
    image[65] = letter;
  }
  if (options.baud != 0) {
    const char code = BaudByteOfRate(options.baud);
    if (code == 0) {
      error = "baud rate must be 9600, 19200 or 38400";
      return false;
    }
    image[5] = code;
  }
  if (!SetMode(image, 3, options.meas1, error) || !SetMode(image, 4, options.meas2, error)) {
    return false;
  }
  if (!options.part_number.empty() &&
      !SetText(image, 66, 6, options.part_number, "part number", error)) {
    return false;
  }
  if (!options.date_code.empty() &&
      !SetText(image, 72, 4, options.date_code, "date code", error)) {
    return false;
  }
  WriteCheckSum(image);
  config.psf = image;

  if (!ParseNullSpan(options.null_span, config.null_span, error)) return false;
  if (!ParseBoardList(options.boards, config.boards, error)) return false;
  if (!config.beams.SetFixed(options.beams, error)) return false;
  if (options.moving < 0 || options.speed <= 0) {
    error = "a moving object needs a width of 0 or more beams and a positive speed";
    return false;
  }
  config.beams.SetMoving(options.moving, options.speed);
  if (options.reply_delay_ms < 0 || options.reply_delay_ms > 10000) {
    error = "reply delay must be 0..10000 ms";
    return false;
  }
  config.silent = options.silent;
  config.no_ack = options.no_ack;
  config.corrupt = options.corrupt;
  config.corrupt_after = options.corrupt_after;
  if (options.corrupt_psf_reads < 0) {
    error = "--corrupt-psf-reads must be 0 or more";
    return false;
  }
  config.corrupt_psf_reads = options.corrupt_psf_reads;
  if (!(options.garble_rate >= 0 && options.garble_rate <= 1)) {
    error = "garble rate must be 0..1";
    return false;
  }
  if (options.seed < 0 || options.seed > 4294967295L) {
    error = "seed must be 0..4294967295";
    return false;
  }
  config.garble_rate = options.garble_rate;
  config.seed = static_cast<uint32_t>(options.seed);
  if (!config.beams.SetFlicker(options.flicker, config.seed, error)) return false;
  config.stop_after = options.stop_after;
  config.vanish_after = options.vanish_after;
  return true;
}

}  // namespace kelvt::sim
