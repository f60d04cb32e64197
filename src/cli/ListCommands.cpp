// The commands that only read: list, check and restore --list.

#include "Commands.h"
#include "EntryStatus.h"
#include "JsonText.h"

#include "app/StartupList.h"
#include "storage/EntryFormat.h"
#include "support/TextNumbers.h"

namespace lw::cli {

namespace {

void appendKey(std::string &out, const char *key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void appendText(std::string &out, const char *key, std::string_view bytes) {
  appendKey(out, key);
  json::appendString(out, json::lossyUtf8(bytes));
}

void appendOptional(std::string &out, const char *key, const std::optional<std::string> &text) {
  if (text)
    appendText(out, key, *text);
  else
    appendKey(out, key), out += "null";
}

// The exact bytes beside a text that JSON cannot carry as it is.
void appendBytes(std::string &out, const char *key, const char *hexKey, std::string_view bytes) {
  appendText(out, key, bytes);
  if (!json::isUtf8(bytes)) {
    appendKey(out, hexKey);
    json::appendString(out, json::hex(bytes));
  }
}

void appendJson(std::string &out, const StartupEntry &entry, Context &context) {
  out += "{\"kind\":";
  json::appendString(out, wordOfKind(entry.kind));
  appendBytes(out, "name", "name_hex", entry.name);
  appendBytes(out, "command", "command_hex", entry.command);
  appendKey(out, "starts");
  out += entry.verdict == StartVerdict::Starts ? "true" : "false";
  appendText(out, "reason", reasonCode(entry.verdict));
  appendText(out, "status", statusText(entry, context.texts));
  if (entry.kind == EntryKind::Customized) {
    appendText(out, "schedule", scheduleInWords(entry.scheduleLine, context.texts));
    appendOptional(out, "last_start", lastStartOf(entry.scheduleLine));
    appendOptional(out, "next_start", nextStartOf(entry.scheduleLine, context.platform));
  } else {
    appendOptional(out, "file",
                   entry.file.empty() ? std::nullopt : std::optional<std::string>(entry.file));
  }
  out += '}';
}

void appendLine(std::string &out, const StartupEntry &entry, Context &context) {
  out += kindLabel(entry.kind, context.texts);
  out += '\t';
  out += entry.name;
  out += '\t';
  out += statusText(entry, context.texts);
  out += '\t';
  out += entry.command;
  if (entry.kind == EntryKind::Customized) {
    out += '\t';
    out += scheduleInWords(entry.scheduleLine, context.texts);
    out += "\tlast start ";
    out += lastStartOf(entry.scheduleLine).value_or("unknown");
    out += "\tnext start ";
    out += nextStartOf(entry.scheduleLine, context.platform).value_or("unknown");
  }
  out += '\n';
}

std::string backupKindLabel(const std::string &kindLine, const LanguageTable &texts) {
  if (kindLine == "0")
    return texts.getText(text::allUsersLabel);
  if (kindLine == "1")
    return texts.getText(text::currentUserLabel);
  if (kindLine == "2")
    return texts.getText(text::customizedRestoreLabel);
  return kindLine;
}

} // namespace

Result listEntries(Context &context, bool json) {
  const std::vector<StartupEntry> rows = currentEntries(context.platform);
  Result result;
  std::string &out = result.out;
  out.reserve(rows.size() * 256);
  if (json) {
    out += '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      appendJson(out, rows[i], context);
    }
    out += rows.empty() ? "]\n" : "\n]\n";
  } else {
    for (const auto &row : rows)
      appendLine(out, row, context);
  }
  return result;
}

Result checkEntries(Context &context, const std::optional<std::string> &name) {
  Result result;
  bool found = false;
  for (const auto &row : currentEntries(context.platform)) {
    if (name && row.name != *name)
      continue;
    found = true;
    result.out += kindLabel(row.kind, context.texts) + " \"" + row.name +
                  "\": " + reasonSentence(row, context.texts) + "\n";
    if (row.verdict != StartVerdict::Starts)
      result.status = exitFailure;
  }
  if (name && !found)
    return {exitUsage, {}, "there is no startup entry named \"" + *name + "\""};
  return result;
}

Result listBackup(Context &context) {
  EntryStore store(context.platform);
  store.readBackupFile();
  const auto &lines = store.backupLines;
  Result result;
  int number = 0;
  // Numbered as the reversal walk meets them, so that "restore N" answers Yes to the same one.
  for (std::size_t p = 0; p < lines.size(); ++p) {
    if (!beginsRecord(lines[p]) || p + 3 >= lines.size())
      continue;
    result.out += std::to_string(++number) + '\t' + lines[p] + '\t' + lines[p + 1] + '\t' +
                  backupKindLabel(lines[p + 3], context.texts) + '\t' + lines[p + 2] + '\n';
  }
  return result;
}

} // namespace lw::cli
