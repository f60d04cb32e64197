#include "RunValueSnapshot.h"

#include <cstdint>
#include <limits>

namespace lw {
namespace {

constexpr std::string_view heading = "Launchwright Windows Run value snapshot 1\n";
constexpr std::string_view valueLabel = "value ";
constexpr std::string_view approvalLabel = "approval ";
constexpr std::string_view noApproval = "approval none\n";

void appendData(std::string &out, std::string_view label, const winreg::RawValue &data) {
  out += label;
  out += std::to_string(data.type);
  out += ' ';
  out += std::to_string(data.bytes.size());
  out += '\n';
  out += data.bytes;
  out += '\n';
}

// Reads the snapshot from the front, each step taking what it understood off the rest.
class Reader {
public:
  explicit Reader(std::string_view bytes) : rest(bytes) {}

  bool take(std::string_view expected) {
    if (!rest.starts_with(expected))
      return false;
    rest.remove_prefix(expected.size());
    return true;
  }

  // A decimal number of at most 32 bits, written the one way encode writes it, then `end`.
  bool number(std::uint32_t &result, char end) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
      value = value * 10 + static_cast<std::uint64_t>(rest[digits] - '0');
      if (value > std::numeric_limits<std::uint32_t>::max())
        return false;
      ++digits;
    }
    if (digits == 0 || (digits > 1 && rest[0] == '0') || digits == rest.size() ||
        rest[digits] != end)
      return false;
    rest.remove_prefix(digits + 1);
    result = static_cast<std::uint32_t>(value);
    return true;
  }

  // "<type> <size>\n<size bytes>\n", after its label.
  bool data(winreg::RawValue &result) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (!number(type, ' ') || !number(size, '\n') || rest.size() <= size || rest[size] != '\n')
      return false;
    result.type = type;
    result.bytes.assign(rest.substr(0, size));
    rest.remove_prefix(size + 1);
    return true;
  }

  bool atEnd() const { return rest.empty(); }

private:
  std::string_view rest;
};

} // namespace

std::string encodeRunValueSnapshot(const RunValueSnapshot &snapshot) {
  std::string out(heading);
  appendData(out, valueLabel, snapshot.value);
  if (snapshot.approval)
    appendData(out, approvalLabel, *snapshot.approval);
  else
    out += noApproval;
  return out;
}

std::optional<RunValueSnapshot> decodeRunValueSnapshot(std::string_view bytes) {
  Reader reader(bytes);
  RunValueSnapshot snapshot;
  if (!reader.take(heading) || !reader.take(valueLabel) || !reader.data(snapshot.value))
    return std::nullopt;
  if (!reader.take(noApproval)) {
    snapshot.approval.emplace();
    if (!reader.take(approvalLabel) || !reader.data(*snapshot.approval))
      return std::nullopt;
  }
  if (!reader.atEnd())
    return std::nullopt;
  return snapshot;
}

} // namespace lw
