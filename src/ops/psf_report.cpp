#include "ops/psf_report.h"

namespace kelvt {

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          out += "&#xFFFD;";
        } else {
          out += c;
        }
    }
  }
  return out;
}

namespace {
std::string OrUnknown(const std::string& text) {
  return text.empty() ? std::string("(not known)") : HtmlEscape(text);
}

void Row(std::string& html, const std::string& a, const std::string& b, const std::string& c) {
  html += "<tr><td>" + a + "</td><td>" + b + "</td><td>" + c + "</td></tr>\n";
}
}  // namespace

std::string PsfReportHtml(const std::vector<PsfField>& fields, const PsfReportSource& source) {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
      "<title>PSF report</title>\n<style>body{font-family:sans-serif}"
      "table{border-collapse:collapse}td,th{border:1px solid #888;padding:2px 6px;"
      "text-align:left}</style>\n</head><body>\n<h1>PSF report</h1>\n<table>\n";
  html += "<tr><th>Part number</th><td>" + OrUnknown(source.part_number) + "</td></tr>\n";
  html += "<tr><th>Date code</th><td>" + OrUnknown(source.date_code) + "</td></tr>\n";
  html += "<tr><th>Source</th><td>" + OrUnknown(source.origin) + "</td></tr>\n";
  html += "<tr><th>Date</th><td>" + OrUnknown(source.made) + "</td></tr>\n";
  html += "</table>\n<h2>Fields</h2>\n<table>\n<tr><th>Field</th><th>Meaning</th><th>Value</th></tr>\n";
  for (const PsfField& f : fields) Row(html, HtmlEscape(f.key), HtmlEscape(f.label), HtmlEscape(f.value));
  html += "</table>\n</body></html>\n";
  return html;
}

}  // namespace kelvt
