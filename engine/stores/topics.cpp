#include "engine/stores/topics.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "engine/stores/dict.h"

namespace vellum {
namespace {

constexpr std::size_t kMaxTopicBytes = 65535;

bool byteOrder(const Reference& a, const Reference& b) {
  return std::tie(a.book, a.chapter, a.verse) < std::tie(b.book, b.chapter, b.verse);
}

}  // namespace

std::optional<std::vector<Reference>> readTopic(DictHandle* topics, const std::string& name) {
  std::vector<std::uint8_t> bytes(kMaxTopicBytes);
  std::uint16_t length = 0;
  if (!find_binary_item(bytes.data(), &length, static_cast<std::uint16_t>(bytes.size()),
                        name.c_str(), topics))
    return std::nullopt;
  std::vector<Reference> references;
  for (std::size_t i = 0; i + 3 <= length; i += 3)
    references.push_back(Reference{bytes[i], bytes[i + 1], bytes[i + 2]});
  return references;
}

bool writeTopic(DictHandle* topics, const std::string& name, const std::vector<Reference>& refs) {
  if (refs.size() > kMaxTopicReferences) return false;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(refs.size() * 3);
  for (const Reference& reference : refs) {
    bytes.push_back(reference.book);
    bytes.push_back(reference.chapter);
    bytes.push_back(reference.verse);
  }
  return add_binary_item(topics, name.c_str(), bytes.data(),
                         static_cast<std::uint16_t>(bytes.size()));
}

bool topicExists(DictHandle* topics, const std::string& name) {
  std::uint8_t byte = 0;
  std::uint16_t length = 0;
  return find_binary_item(&byte, &length, 1, name.c_str(), topics) != nullptr;
}

std::string topicReferenceText(Reference reference, BibleHandle* module) {
  if (module != nullptr && reference.book < getBooksInBible(module) && reference.chapter >= 1 &&
      reference.chapter <= getChaptersInBook(reference, module) && reference.verse >= 1 &&
      reference.verse <= getVersesInChapter(reference, module)) {
    char text[64] = {};
    return unparseReference(text, reference, module);
  }
  return "(not in this translation) book " + std::to_string(reference.book + 1) + ", " +
         std::to_string(reference.chapter) + ":" + std::to_string(reference.verse);
}

bool insertTopicReference(std::vector<Reference>& refs, Reference reference) {
  if (std::find(refs.begin(), refs.end(), reference) != refs.end()) return false;
  refs.push_back(reference);
  // A sort rather than an insertion, so a topic stored out of order is put right by any change.
  std::sort(refs.begin(), refs.end(), byteOrder);
  return true;
}

bool removeTopicReference(std::vector<Reference>& refs, Reference reference) {
  const auto found = std::find(refs.begin(), refs.end(), reference);
  if (found == refs.end()) return false;
  refs.erase(found);
  return true;
}

}  // namespace vellum
