#include "XdgSnapshotFormat.h"

#include <charconv>

namespace lw::xdgsnapshot {
namespace {

constexpr std::string_view snapshotTag = "launchwright-xdg-snapshot-1";
constexpr std::string_view switchSlot = "switch";

void put(std::string &out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
  out += '\n';
}

// Takes the next field off the front of `in`; nothing when it is not one.
std::optional<std::string_view> take(std::string_view &in) {
  const auto colon = in.find(':');
  if (colon == std::string_view::npos || colon == 0)
    return std::nullopt;
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(in.data(), in.data() + colon, size);
  if (error != std::errc() || end != in.data() + colon || size > in.size() - colon - 1 ||
      in.size() - colon - 1 - size < 1 || in[colon + 1 + size] != '\n')
    return std::nullopt;
  const auto field = in.substr(colon + 1, size);
  in.remove_prefix(colon + 2 + size);
  return field;
}

template <typename Number> std::optional<Number> numberOf(std::string_view text, int base = 10) {
  Number number{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return number;
}

void putStanding(std::string &out, const std::string &slot, const Taken &file) {
  if (const auto &mode = file.standing.mode) {
    char octal[8] = {};
    const auto end = std::to_chars(octal, octal + sizeof octal, *mode, 8).ptr;
    put(out, "mode " + slot);
    put(out, std::string_view(octal, static_cast<std::size_t>(end - octal)));
  }
  if (const auto &owner = file.standing.owner) {
    put(out, "owner " + slot);
    put(out, std::to_string(owner->first) + ":" + std::to_string(owner->second));
  }
  if (file.link) {
    put(out, "link " + slot);
    put(out, *file.link);
  }
}

bool takeStanding(std::string_view what, std::string_view value, Taken &file) {
  if (what == "mode") {
    file.standing.mode = numberOf<unsigned>(value, 8);
    return file.standing.mode && *file.standing.mode <= 07777;
  }
  if (what == "owner") {
    const auto colon = value.find(':');
    const auto user = numberOf<unsigned>(value.substr(0, colon));
    const auto group =
        colon == value.npos ? std::nullopt : numberOf<unsigned>(value.substr(colon + 1));
    if (!user || !group)
      return false;
    file.standing.owner = {*user, *group};
    return true;
  }
  if (what == "link" && !value.empty()) {
    file.link = std::string(value);
    return true;
  }
  return false;
}

} // namespace

std::string encode(const EntryFiles &files) {
  std::string out;
  put(out, snapshotTag);
  put(out, std::to_string(files.files.size()));
  for (const auto &file : files.files) {
    put(out, file.folder);
    put(out, file.file.bytes);
  }
  put(out, files.switchFile ? switchSlot : "");
  if (files.switchFile)
    put(out, files.switchFile->bytes);
  for (std::size_t i = 0; i < files.files.size(); ++i)
    putStanding(out, std::to_string(i), files.files[i].file);
  if (files.switchFile)
    putStanding(out, std::string(switchSlot), *files.switchFile);
  return out;
}

std::optional<EntryFiles> decode(std::string_view in) {
  const auto tag = take(in);
  const auto count = take(in);
  if (!tag || *tag != snapshotTag || !count)
    return std::nullopt;
  const auto files = numberOf<std::size_t>(*count);
  if (!files || *files == 0 || *files > 64)
    return std::nullopt;
  EntryFiles decoded;
  for (std::size_t i = 0; i < *files; ++i) {
    const auto folder = take(in);
    const auto bytes = take(in);
    if (!folder || !bytes)
      return std::nullopt;
    decoded.files.push_back({std::string(*folder), {std::string(*bytes), {}, {}}});
  }
  const auto hasSwitch = take(in);
  if (!hasSwitch)
    return std::nullopt;
  if (*hasSwitch == switchSlot) {
    const auto bytes = take(in);
    if (!bytes)
      return std::nullopt;
    decoded.switchFile = Taken{std::string(*bytes), {}, {}};
  } else if (!hasSwitch->empty()) {
    return std::nullopt;
  }
  while (!in.empty()) {
    const auto key = take(in);
    const auto value = take(in);
    if (!key || !value)
      return std::nullopt;
    const auto blank = key->find(' ');
    if (blank == key->npos)
      return std::nullopt;
    const auto slot = key->substr(blank + 1);
    Taken *file = nullptr;
    if (slot == switchSlot && decoded.switchFile)
      file = &*decoded.switchFile;
    else if (const auto at = numberOf<std::size_t>(slot); at && *at < decoded.files.size())
      file = &decoded.files[*at].file;
    if (!file || !takeStanding(key->substr(0, blank), *value, *file))
      return std::nullopt;
  }
  return decoded;
}

} // namespace lw::xdgsnapshot
