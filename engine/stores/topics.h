// The topical index: topics kept in a dictionary store ("topics.dic"), each item a topic name
// holding the topic's verses as 3-byte Reference records (book, chapter, verse) in ascending
// byte order, which is verse order, without duplicates. A new topic holds no record.
//
// Topics are read and written whole, up to the store's item limit of 65535 bytes (21845
// references); a trailing partial record of a damaged item is left out when read, and so dropped
// at the next write. A change that depends on what it read (insert a verse, then write the
// topic back) belongs inside beginDictChange and endDictChange, so that no other program
// changes the topic in between.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/bible/bible.h"

namespace vellum {

struct DictHandle;

inline constexpr std::size_t kMaxTopicNameBytes = 39;
inline constexpr std::size_t kMaxTopicReferences = 65535 / 3;

// The topic's references as stored; none when the store has no item of that name.
std::optional<std::vector<Reference>> readTopic(DictHandle* topics, const std::string& name);
// Writes the references under the name (creating the topic when absent); false when the store
// refused (read-only, another program changing it, more than kMaxTopicReferences).
bool writeTopic(DictHandle* topics, const std::string& name, const std::vector<Reference>& refs);
// The store has a topic of that name (ignoring case).
bool topicExists(DictHandle* topics, const std::string& name);

// The reference as a topic's lists show it: "John 3:16", or for one the module does not hold (a
// topic made with another translation) "(not in this translation) book 43, 3:16", with the book
// counted from 1, so that it can still be seen and taken out.
std::string topicReferenceText(Reference reference, BibleHandle* module);

// Puts the reference into its place in byte order; false (nothing changed) when it is there.
bool insertTopicReference(std::vector<Reference>& refs, Reference reference);
// Takes the reference out; false when it is not there.
bool removeTopicReference(std::vector<Reference>& refs, Reference reference);

}  // namespace vellum
