#include "entries/FileErrorText.h"

#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "support/TextNumbers.h"

namespace lw {

namespace {

std::string textOr(const LanguageTable &texts, std::int32_t number, const char *fallback) {
  std::string text = texts.getText(number);
  return text.empty() ? fallback : text;
}

} // namespace

std::string fileErrorMessage(const FileError &error, const LanguageTable &texts) {
  // A file with a foreign first line is refused on purpose; the user has to repair it, and the
  // language file has a text that says how.
  if (error.reason() == unrecognisedContentReason) {
    const std::string text = texts.getText(text::unrecognisedFile);
    if (!text.empty())
      return text + "\n\n" + error.path();
  }
  return textOr(texts, text::fileErrorIntro, "Launchwright could not use one of its files.") +
         "\n\n" + error.path() + "\n" + error.reason();
}

std::string outOfMemoryMessage(const LanguageTable &texts) {
  return textOr(texts, text::outOfMemory,
                "Launchwright does not have enough memory for this and has stopped the command.");
}

std::string restoredAsFileMessage(const std::string &linkTarget, const std::string &file,
                                  const LanguageTable &texts) {
  return fillIn(textOr(texts, text::restoredAsFile,
                       "The entry was a link to %s. It could not be made as a link again, so it "
                       "came back as a file of its own with the content it had: %s"),
                {linkTarget, file});
}

} // namespace lw
