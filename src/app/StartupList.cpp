#include "StartupList.h"

#include "support/TextNumbers.h"

namespace lw {

namespace {

void appendCount(std::string &status, const LanguageTable &texts, std::int32_t number,
                 std::size_t count, const char *end) {
  status += texts.getText(number);
  status += ' ';
  status += std::to_string(count);
  status += end;
}

std::size_t appendRunValues(StartupListing &listing, Toolbox &toolbox, RegistryRoot root,
                            EntryKind kind) {
  toolbox.enumerateValues(root, keys::run);
  toolbox.keyPath = keys::run;
  const int mode = root == RegistryRoot::CurrentUser ? 1 : 2;
  const auto &names = toolbox.valueNames;
  for (const auto &name : names)
    listing.rows.push_back({kind, name, toolbox.readValue(mode, name)});
  return names.size();
}

} // namespace

std::string kindLabel(EntryKind kind, const LanguageTable &texts) {
  switch (kind) {
  case EntryKind::Customized:
    return texts.getText(text::customizedLabel);
  case EntryKind::CurrentUser:
    return texts.getText(text::currentUserLabel);
  case EntryKind::AllUsers:
    return texts.getText(text::allUsersLabel);
  }
  return {};
}

StartupListing readStartupList(const Platform &platform, Toolbox &toolbox,
                               const LanguageTable &texts) {
  EntryStore store(platform);
  store.readEntries();

  StartupListing listing;
  for (auto &entry : entriesOf(store.customLines))
    listing.rows.push_back({EntryKind::Customized,
                            std::move(entry.name),
                            std::move(entry.command),
                            StartVerdict::Starts,
                            {},
                            {},
                            {},
                            std::move(entry.scheduleLine)});
  listing.customizedCount = listing.rows.size();
  appendCount(listing.statusText, texts, text::customizedCount, listing.customizedCount, "\n");

  const std::size_t user =
      appendRunValues(listing, toolbox, RegistryRoot::CurrentUser, EntryKind::CurrentUser);
  appendCount(listing.statusText, texts, text::currentUserCount, user, "\n");

  const std::size_t machine =
      appendRunValues(listing, toolbox, RegistryRoot::LocalMachine, EntryKind::AllUsers);
  appendCount(listing.statusText, texts, text::allUsersCount, machine, "\n\n");
  appendCount(listing.statusText, texts, text::totalCount, listing.rows.size(), "");
  return listing;
}

void updateStarterValue(Toolbox &toolbox, bool customizedEntriesExist,
                        std::string_view starterFile) {
  toolbox.keyPath = keys::run;
  if (customizedEntriesExist)
    toolbox.writeValue(1, starterValueName, toolbox.starterFile(starterFile));
  else
    toolbox.deleteValue(1, starterValueName);
}

} // namespace lw
