// The check's reports: text for a person, JSON and JUnit XML for a CI. Everything the plug-in
// wrote (its texts, what its process printed) goes into them as data: escaped, and where it is
// not text a reader could take, replaced.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "hostsim/check_command.h"

namespace hostsim {

namespace {

using nlohmann::json;

const char* Status(const CheckLine& line) {
  return line.skipped ? "skipped" : line.passed ? "passed" : "failed";
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

// The length of the well-formed UTF-8 sequence at `at` (0 when there is none). Overlong forms,
// surrogates and code points past U+10FFFF are not well-formed.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

// `text` as XML character data or an attribute value: the five special characters escaped,
// line breaks and tabs kept (as references in an attribute, where a reader would fold them),
// and every byte XML 1.0 cannot carry (other control characters, bytes that are not UTF-8)
// replaced by '?'.
std::string Xml(const std::string& text, bool attribute) {
  std::string xml;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, i);
      xml += length ? text.substr(i, length) : "?";
      i += length ? length : 1;
      continue;
    }
    ++i;
    switch (c) {
      case '&':
        xml += "&amp;";
        break;
      case '<':
        xml += "&lt;";
        break;
      case '>':
        xml += "&gt;";
        break;
      case '"':
        xml += "&quot;";
        break;
      case '\'':
        xml += "&apos;";
        break;
      case '\n':
        xml += attribute ? "&#10;" : "\n";
        break;
      case '\r':
        xml += attribute ? "&#13;" : "\r";
        break;
      case '\t':
        xml += attribute ? "&#9;" : "\t";
        break;
      default:
        xml += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
        break;
    }
  }
  return xml;
}

std::string Attribute(const char* name, const std::string& value) {
  return std::string(" ") + name + "=\"" + Xml(value, true) + "\"";
}

// What a failed check's process printed last, one line each, for a reader under the check.
std::string OutputBlock(const CheckLine& line, const char* indent) {
  std::string block;
  for (const std::string& printed : line.output) block += indent + printed + "\n";
  return block;
}

std::string Counts(const CheckReport& report) {
  return Attribute("tests", std::to_string(report.lines.size())) +
         Attribute("failures", std::to_string(report.FailedCount())) + Attribute("errors", "0") +
         Attribute("skipped", std::to_string(report.SkippedCount())) +
         Attribute("time", Seconds(report.seconds));
}

}  // namespace

void WriteCheckReport(const CheckReport& report, std::ostream& out) {
  for (const CheckLine& line : report.lines) {
    out << (line.skipped  ? "skip "
            : line.passed ? "ok   "
                          : "FAIL ")
        << line.name << " (" << line.seen << ")\n";
    if (!line.passed && !line.skipped) out << OutputBlock(line, "     | ");
  }
  out << report.lines.size() << " checks, " << report.FailedCount() << " failed";
  if (report.SkippedCount() > 0) out << ", " << report.SkippedCount() << " skipped";
  out << "\n";
  out << "took " << Seconds(report.seconds) << " s\n";
}

void WriteJsonCheckReport(const CheckReport& report, std::ostream& out) {
  json checks = json::array();
  for (const CheckLine& line : report.lines) {
    checks.push_back({{"name", line.name},
                      {"level", line.level},
                      {"status", Status(line)},
                      {"seen", line.seen},
                      {"seconds", line.seconds},
                      {"output", line.output}});
  }
  const json document = {{"plugin", report.plugin},
                         {"document", report.document},
                         {"level", report.level},
                         {"seed", report.seed},
                         {"seconds", report.seconds},
                         {"passed", report.PassedCount()},
                         {"failed", report.FailedCount()},
                         {"skipped", report.SkippedCount()},
                         {"checks", checks}};
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

void WriteJUnitCheckReport(const CheckReport& report, std::ostream& out) {
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << "<testsuites" << Attribute("name", "scorix-sim check") << Counts(report) << ">\n";
  out << "  <testsuite" << Attribute("name", report.plugin) << Counts(report) << ">\n";
  out << "    <properties>\n";
  out << "      <property" << Attribute("name", "document") << Attribute("value", report.document)
      << "/>\n";
  out << "      <property" << Attribute("name", "level")
      << Attribute("value", std::to_string(report.level)) << "/>\n";
  out << "      <property" << Attribute("name", "seed")
      << Attribute("value", std::to_string(report.seed)) << "/>\n";
  out << "    </properties>\n";
  for (const CheckLine& line : report.lines) {
    out << "    <testcase" << Attribute("classname", "level" + std::to_string(line.level))
        << Attribute("name", line.name) << Attribute("time", Seconds(line.seconds));
    if (line.passed && !line.skipped) {
      out << "/>\n";
      continue;
    }
    out << ">\n";
    if (line.skipped) {
      out << "      <skipped" << Attribute("message", line.seen) << "/>\n";
    } else {
      out << "      <failure" << Attribute("message", line.seen) << Attribute("type", "check")
          << ">" << Xml(line.seen + "\n" + OutputBlock(line, ""), false) << "</failure>\n";
    }
    out << "    </testcase>\n";
  }
  out << "  </testsuite>\n";
  out << "</testsuites>\n";
}

}  // namespace hostsim
