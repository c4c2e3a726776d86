// vellum-cli's lexicon, notes and topics commands (store_commands.h).
#include "tools/cli/store_commands.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "engine/bible/bible.h"
#include "engine/stores/dict.h"
#include "engine/stores/lexicon.h"
#include "engine/stores/notes.h"
#include "engine/stores/topics.h"
#include "support/files.h"
#include "support/strings.h"
#include "tools/common/tool_args.h"

namespace vellum::cli {
namespace {

using tools::kExitFailed;
using tools::kExitRefused;
constexpr const char* kLexiconFile = "lexicon.lex";
constexpr const char* kTopicsFile = "topics.dic";

struct ModuleCloser {
  void operator()(BibleHandle* module) const { closeBible(module); }
};
struct NotesCloser {
  void operator()(NotesHandle* notes) const { VNClose(notes); }
};
struct LexiconCloser {
  void operator()(LexiconHandle* lexicon) const { deinitLexicon(lexicon); }
};
struct StoreCloser {
  void operator()(DictHandle* store) const { deinit_dict(store); }
};
using Module = std::unique_ptr<BibleHandle, ModuleCloser>;

int usageError(std::ostream& err, const std::string& problem, const char* synopsis) {
  return tools::synopsisError(err, "vellum-cli", problem, synopsis);
}

std::string join(const std::vector<std::string>& args, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) text += ' ';
    text += args[i];
  }
  return text;
}

std::string referenceText(Reference reference, BibleHandle* module) {
  char buffer[64] = {};
  return unparseReference(buffer, reference, module);
}

// Opens the module bibleFile along the data path; on failure says why on err and gives null.
Module openNamedModule(const std::string& bibleFile, std::ostream& err) {
  bibleName name;
  if (bibleFile.empty() || bibleFile.size() >= sizeof name.path) {
    err << "vellum-cli: the module needs a file name of 1 to 79 characters\n";
    return nullptr;
  }
  std::memcpy(name.path, bibleFile.data(), bibleFile.size());
  std::string why;
  Module module(openBible(&name, &why));
  if (!module) {
    err << "vellum-cli: cannot open " << bibleFile << ": " << (why.empty() ? "unknown reason" : why)
        << " (data path: " << get_dpath() << ")\n";
  }
  return module;
}

// Tells that a change was refused because another program held the store; the exit status.
int refused(std::ostream& err, std::string_view fileName) {
  err << "vellum-cli: " << changeRefusedMessage(fileName) << "\n";
  return kExitRefused;
}

// Drops the carriage return of every CR LF: the engine hands out texts for edit controls.
std::string lineFeeds(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
  return result;
}

}  // namespace

int runLookupStrongs(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  constexpr const char* kSynopsis = "lookup strongs hebrew|greek NUMBER";
  if (args.size() != 2 || (args[0] != "hebrew" && args[0] != "greek"))
    return usageError(err, "lookup strongs needs hebrew or greek and a NUMBER", kSynopsis);
  const bool hebrew = args[0] == "hebrew";
  std::string digits = args[1];
  if (!digits.empty() && (digits[0] & ~0x20) == (hebrew ? 'H' : 'G')) digits.erase(0, 1);
  unsigned long number = 0;
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos ||
      (number = std::stoul(digits)) > 65535)
    return usageError(err,
                      args[1] + " is not a " + (hebrew ? "Hebrew" : "Greek") + " Strong's number",
                      kSynopsis);

  std::unique_ptr<LexiconHandle, LexiconCloser> lexicon(initLexicon(kLexiconFile));
  if (!lexicon) {
    err << "vellum-cli: cannot open " << kLexiconFile
        << ": missing or damaged (data path: " << get_dpath() << ")\n";
    return kExitFailed;
  }
  std::vector<char> text(kChapterBufferSize);
  std::uint16_t length = 0;
  if (lookupLexicon(text.data(), &length, static_cast<std::uint16_t>(text.size()),
                    static_cast<std::uint16_t>(number), hebrew ? 1 : 0, lexicon.get()) == nullptr) {
    err << "vellum-cli: no " << (hebrew ? "Hebrew" : "Greek") << " entry " << number << "\n";
    return kExitRefused;
  }
  std::string definition = lineFeeds(std::string(text.data(), length));
  if (definition.empty() || definition.back() != '\n') definition += '\n';
  out << definition;
  return 0;
}

int runNotes(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
             std::ostream& err) {
  constexpr const char* kSynopsis =
      "[-b FILE] notes get|delete|chapter REFERENCE | set REFERENCE TEXT | search [--case] "
      "PHRASE | import FILE";
  if (args.empty()) return usageError(err, "notes needs a subcommand", kSynopsis);
  const std::string& verb = args[0];
  if (verb != "get" && verb != "set" && verb != "delete" && verb != "chapter" && verb != "search" &&
      verb != "import")
    return usageError(err, "unknown notes subcommand " + verb, kSynopsis);
  if (args.size() < 2 || (verb == "set" && args.size() < 3) ||
      (verb == "import" && args.size() != 2) ||
      (verb == "search" && args[1] == "--case" && args.size() < 3))
    return usageError(err, "notes " + verb + " needs more arguments", kSynopsis);

  const Module module = openNamedModule(bibleFile, err);
  if (!module) return kExitFailed;
  std::unique_ptr<NotesHandle, NotesCloser> notes(VNOpen(module.get()));
  const std::string storeName = changeExtension(bareFileName(bibleFile), ".vn");
  if (!notes) {
    err << "vellum-cli: cannot open the notes store " << storeName
        << ": missing and not creatable, or damaged\n";
    return kExitFailed;
  }
  const bool changes = verb == "set" || verb == "delete" || verb == "import";
  if (changes && VNReadOnly(notes.get())) {
    err << "vellum-cli: the notes store " << storeName << " is read-only\n";
    return kExitFailed;
  }

  // The reference of get, delete and chapter is every argument; that of set the shortest
  // leading run that parses.
  Reference reference;
  std::size_t textStart = args.size();
  if (verb == "get" || verb == "delete" || verb == "chapter" || verb == "set") {
    bool valid = false;
    if (verb == "set") {
      for (std::size_t end = 2; end < args.size() && !valid; ++end) {
        valid = parseReference(&reference, join(args, 1, end).c_str(), module.get()) == 1;
        if (valid) textStart = end;
      }
    } else {
      valid = parseReference(&reference, join(args, 1, args.size()).c_str(), module.get()) == 1;
    }
    if (!valid) {
      err << (verb == "set" ? join(args, 1, args.size() - 1) : join(args, 1, args.size()))
          << " is not a valid reference\n";
      return kExitFailed;
    }
  }

  std::vector<char> text(kChapterBufferSize + 1);
  const auto size = static_cast<std::uint16_t>(text.size());
  std::uint16_t length = 0;
  if (verb == "get") {
    if (VNGetNoteByRef(text.data(), &length, size, reference, notes.get()) == nullptr) {
      err << "vellum-cli: " << referenceText(reference, module.get()) << " has no note\n";
      return kExitRefused;
    }
    std::string note(text.data(), length);
    if (note.empty() || note.back() != '\n') note += '\n';
    out << note;
    return 0;
  }
  if (verb == "set") {
    if (!VNSetNoteByRef(reference, join(args, textStart, args.size()).c_str(), notes.get())) {
      if (VNBusy(notes.get())) return refused(err, storeName);
      err << "vellum-cli: cannot write the note of " << referenceText(reference, module.get())
          << " to " << storeName << "\n";
      return kExitFailed;
    }
    return 0;
  }
  if (verb == "delete") {
    if (VNGetNoteByRef(text.data(), &length, size, reference, notes.get()) == nullptr) {
      err << "vellum-cli: " << referenceText(reference, module.get()) << " has no note\n";
      return kExitRefused;
    }
    if (!VNDelNoteByRef(reference, notes.get())) {
      if (VNBusy(notes.get())) return refused(err, storeName);
      err << "vellum-cli: cannot delete the note of " << referenceText(reference, module.get())
          << " from " << storeName << "\n";
      return kExitFailed;
    }
    return 0;
  }
  if (verb == "chapter") {
    const std::string chapterReference = referenceText(reference, module.get());
    VNGetNotesForChapter(text.data(), &length, size, chapterReference.c_str(), notes.get());
    if (length == 0) {
      err << "vellum-cli: no notes in " << getBookName(reference.book, module.get()) << " "
          << int{reference.chapter} << "\n";
      return kExitRefused;
    }
    out << std::string(text.data(), length);
    return 0;
  }
  if (verb == "search") {
    const bool caseSensitive = args[1] == "--case";
    const std::string phrase = join(args, caseSensitive ? 2 : 1, args.size());
    std::vector<std::uint16_t> list(kVerseListEnd);
    std::uint16_t count = 0;
    const auto maximum = static_cast<std::uint16_t>(list.size() - 1);
    if (caseSensitive)
      VNCSPhraseSearch(list.data(), &count, maximum, phrase.c_str(), notes.get());
    else
      VNPhraseSearch(list.data(), &count, maximum, phrase.c_str(), notes.get());
    if (count == 0) {
      err << "vellum-cli: no note holds \"" << phrase << "\"\n";
      return kExitRefused;
    }
    for (std::uint16_t i = 0; i < count; ++i)
      out << referenceText(verseToReference(list[i], module.get()), module.get()) << "\n";
    return 0;
  }
  // import
  int problems = 0;
  const int stored = VNImport(args[1].c_str(), notes.get(), [&](int line, const std::string& m) {
    ++problems;
    err << "vellum-cli: " << args[1] << ": line " << line << ": " << m << "\n";
  });
  if (stored < 0) {
    err << "vellum-cli: cannot read " << args[1] << "\n";
    return kExitFailed;
  }
  out << "imported " << stored << (stored == 1 ? " note" : " notes") << " into " << storeName
      << "\n";
  return problems > 0 ? kExitRefused : 0;
}

namespace {

// The topic name of an argument, or a usage problem.
std::optional<std::string> topicNameProblem(const std::string& name) {
  if (trimmedLength(name) == 0) return "a topic name must not be blank";
  if (name.size() > kMaxTopicNameBytes)
    return "a topic name has at most " + std::to_string(kMaxTopicNameBytes) + " bytes: " + name;
  return std::nullopt;
}

// topics add and remove: the topic's references with those of args[2..] put in or taken out.
int changeTopicReferences(const std::vector<std::string>& args, DictHandle* topics,
                          BibleHandle* module, std::ostream& out, std::ostream& err) {
  const bool adding = args[0] == "add";
  const std::string& name = args[1];
  std::vector<Reference> wanted;
  bool allValid = true;
  for (std::size_t i = 2; i < args.size(); ++i) {
    Reference reference;
    if (parseReference(&reference, args[i].c_str(), module) == 1) {
      wanted.push_back(reference);
    } else {
      err << args[i] << " is not a valid reference\n";
      allValid = false;
    }
  }
  if (!allValid) return kExitFailed;

  const DictChange change(topics);
  if (!change.held()) return refused(err, kTopicsFile);
  std::optional<std::vector<Reference>> references = readTopic(topics, name);
  if (!references && !adding) {
    err << "vellum-cli: there is no topic named " << name << "\n";
    return kExitRefused;
  }
  if (references && adding && wanted.empty()) {
    err << "vellum-cli: There is already a topic named " << name << "\n";
    return kExitRefused;
  }
  if (!references) references.emplace();
  std::vector<std::string> done;
  bool allThere = true;
  for (const Reference& reference : wanted) {
    const std::string text = topicReferenceText(reference, module);
    if (adding ? insertTopicReference(*references, reference)
               : removeTopicReference(*references, reference)) {
      done.push_back(text);
    } else if (!adding) {
      err << "vellum-cli: " << text << " is not in " << name << "\n";
      allThere = false;
    }
  }
  if ((wanted.empty() || !done.empty()) && !writeTopic(topics, name, *references)) {
    if (isBusy(topics)) return refused(err, kTopicsFile);
    err << "vellum-cli: " << name << " could not be written: the topic is full or " << kTopicsFile
        << " cannot be written\n";
    return kExitFailed;
  }
  if (adding)
    for (const std::string& text : done) out << text << " has been added to " << name << "\n";
  return allThere ? 0 : kExitRefused;
}

}  // namespace

int runTopics(const std::vector<std::string>& args, const std::string& bibleFile, std::ostream& out,
              std::ostream& err) {
  constexpr const char* kSynopsis =
      "[-b FILE] topics list | show NAME | add NAME [REFERENCE...] | remove NAME REFERENCE... | "
      "rename OLD NEW | delete NAME";
  if (args.empty()) return usageError(err, "topics needs a subcommand", kSynopsis);
  const std::string& verb = args[0];
  const std::size_t n = args.size();
  const bool known = verb == "list" || verb == "show" || verb == "add" || verb == "remove" ||
                     verb == "rename" || verb == "delete";
  if (!known) return usageError(err, "unknown topics subcommand " + verb, kSynopsis);
  if ((verb == "list" && n != 1) || ((verb == "show" || verb == "delete") && n != 2) ||
      (verb == "add" && n < 2) || (verb == "remove" && n < 3) || (verb == "rename" && n != 3))
    return usageError(err, "topics " + verb + " needs other arguments", kSynopsis);
  const std::size_t names = verb == "list" ? 0 : verb == "rename" ? 2 : 1;
  for (std::size_t i = 1; i <= names; ++i)
    if (const auto problem = topicNameProblem(args[i])) return usageError(err, *problem, kSynopsis);

  const std::unique_ptr<DictHandle, StoreCloser> topics(open_dict(kTopicsFile));
  if (!topics) {
    err << "vellum-cli: cannot open " << kTopicsFile
        << ": missing or damaged (data path: " << get_dpath() << ")\n";
    return kExitFailed;
  }
  if (verb != "list" && verb != "show" && isReadOnly(topics.get())) {
    err << "vellum-cli: the topic store " << kTopicsFile << " is read-only\n";
    return kExitFailed;
  }
  if (verb == "list") {
    std::span<const std::string> list;
    std::uint16_t count = 0;
    get_item_list(&list, &count, topics.get());
    for (const std::string& name : list) out << name << "\n";
    return 0;
  }
  const std::string& name = args[1];
  if (verb == "rename" || verb == "delete") {
    const DictChange change(topics.get());
    if (!change.held()) return refused(err, kTopicsFile);
    if (!topicExists(topics.get(), name)) {
      err << "vellum-cli: there is no topic named " << name << "\n";
      return kExitRefused;
    }
    // Names are compared ignoring case, so a change of case renames the topic itself.
    if (verb == "rename" && _stricmp(name.c_str(), args[2].c_str()) != 0 &&
        topicExists(topics.get(), args[2])) {
      err << "vellum-cli: There is already a topic named " << args[2] << "\n";
      return kExitRefused;
    }
    const bool done = verb == "rename" ? rename_item(args[2].c_str(), name.c_str(), topics.get())
                                       : delete_item(name.c_str(), topics.get());
    if (!done) {
      err << "vellum-cli: " << name << " could not be changed: " << kTopicsFile
          << " cannot be written\n";
      return kExitFailed;
    }
    return 0;
  }

  const Module module = openNamedModule(bibleFile, err);
  if (!module) return kExitFailed;
  if (verb != "show") return changeTopicReferences(args, topics.get(), module.get(), out, err);
  const std::optional<std::vector<Reference>> references = readTopic(topics.get(), name);
  if (!references) {
    err << "vellum-cli: there is no topic named " << name << "\n";
    return kExitRefused;
  }
  for (const Reference& reference : *references)
    out << topicReferenceText(reference, module.get()) << "\n";
  return 0;
}

}  // namespace vellum::cli
