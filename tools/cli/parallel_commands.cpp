#include "tools/cli/parallel_commands.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/bible/bible.h"
#include "engine/bible/parallel.h"
#include "support/files.h"
#include "tools/common/tool_args.h"

namespace vellum {
namespace {

using tools::kExitFailed;
using tools::kExitRefused;
constexpr const char* kNotHere = "(not in this translation)";

struct ModuleCloser {
  void operator()(BibleHandle* module) const { closeBible(module); }
};
using Module = std::unique_ptr<BibleHandle, ModuleCloser>;

struct Translation {
  Module module;
  std::string name;
};

std::string displayName(BibleHandle* module) {
  bibleName name;
  getBibleName(&name, module);
  return std::string(name.name, strnlen(name.name, sizeof name.name));
}

std::string referenceText(Reference reference, BibleHandle* module) {
  char text[64] = {};
  unparseReference(text, reference, module);
  return text;
}

// One translation's line for the verse that stands for `reference` of `from`.
std::string parallelLine(const Translation& translation, Reference reference, BibleHandle* from) {
  BibleHandle* module = translation.module.get();
  Reference mapped;
  const bool held = mapReference(&mapped, reference, from, module) != 0;
  // A book the translation does not hold is named as the reading translation names it.
  const bool named = held || mapBook(reference.book, from, module) >= 0;
  std::string line = named ? referenceText(mapped, module) : referenceText(reference, from);
  line += " (" + translation.name + ") ";
  if (!held) return line + kNotHere;
  std::vector<char> verse(kChapterBufferSize);
  std::uint16_t length = 0;
  getVerse(verse.data(), &length, kChapterBufferSize, referenceToVerse(mapped, module), module);
  // getVerse gives "Book C:" and the verse's line as the chapter holds it.
  const char* colon = std::strchr(verse.data(), ':');
  std::uint16_t number = 0;
  return line + verseLineText(colon ? colon + 1 : verse.data(), &number);
}

}  // namespace

int runShowParallel(const std::vector<std::string>& files, const std::string& referenceText,
                    bool chapter, bool strongs, std::ostream& out, std::ostream& err) {
  if (files.size() < 2) {
    err << "vellum-cli: show --parallel needs two or more module files, separated by commas\n";
    return kExitFailed;
  }
  std::vector<Translation> translations;
  for (const std::string& file : files) {
    bibleName name;
    const std::string_view bare = bareFileName(file);
    std::string why = "not a module file name";
    Module module;
    if (!bare.empty() && bare.size() < sizeof name.path) {
      std::memcpy(name.path, bare.data(), bare.size());
      module.reset(openBible(&name, &why));
    }
    if (!module) {
      err << "vellum-cli: cannot open " << file << ": " << why << "\n";
      return kExitFailed;
    }
    setStrongs(module.get(), strongs ? 1 : 0);
    std::string display = displayName(module.get());
    translations.push_back({std::move(module), std::move(display)});
  }

  // The first translation that holds the reference reads it: 3 John 1:15 is in the WEB only.
  Reference reference;
  BibleHandle* from = nullptr;
  for (const Translation& translation : translations) {
    if (parseReference(&reference, referenceText.c_str(), translation.module.get())) {
      from = translation.module.get();
      break;
    }
  }
  if (from == nullptr) {
    err << referenceText << " is not a valid reference\n";
    return kExitFailed;
  }

  std::uint16_t first = reference.verse;
  std::uint16_t last = reference.verse;
  if (chapter) {
    first = 1;
    last = 0;
    for (const Translation& translation : translations) {
      Reference mapped;
      mapReference(&mapped, reference, from, translation.module.get());
      if (mapBook(reference.book, from, translation.module.get()) >= 0)
        last = std::max(last, getVersesInChapter(mapped, translation.module.get()));
    }
  }
  for (std::uint16_t verse = first; verse <= last; ++verse) {
    reference.verse = static_cast<std::uint8_t>(verse);
    for (const Translation& translation : translations)
      out << parallelLine(translation, reference, from) << '\n';
  }
  out.flush();
  if (!out) {
    err << "vellum-cli: cannot write the output\n";
    return kExitRefused;
  }
  return 0;
}

}  // namespace vellum
