#include "engine/stores/dict.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "engine/stores/dict_format.h"
#include "engine/stores/store_io.h"
#include "support/codec.h"
#include "support/endian.h"
#include "support/files.h"
#include "support/strings.h"
#include "support/unicode.h"

// Order of the writes of each change. The store must survive a kill after any single write:
//
// - Heap bytes always go to fresh space at the end of data, then the header moves the end of
//   data past them, and only then does anything link to them. A kill before the header leaves
//   unreferenced bytes past the end of data; a kill before the link leaves allocated bytes
//   nobody points at.
// - The name list text lies at the end of data, where the next heap write goes. While the
//   header says the text is current, the first heap write would destroy text the header still
//   vouches for, so a change first writes the header with the modification time moved on.
// - An item's data is never rewritten in place: a replaced item gets a new block and its
//   22-byte record is rewritten last, in one write, as the point where the change takes hold.
// - Rename links the renamed record under its new name before unlinking the old one, so a
//   kill between the two leaves both names, never neither.
// - A kill can leave the header's item count off by one; the name walk counts the names
//   actually reachable and the next close writes that count back.
//
// Between programs: every change holds the file's exclusive lock (support/files.h) from its
// header read to its commit, and every read holds a shared one, so a change is always made on
// the file as it is and a read sees the store before a change or after it. A read that cannot
// have its lock within the wait goes on without it: the write order above keeps what it reads
// sound, at worst one change behind or ahead.

namespace vellum {

using dict::Header;
using dict::ItemRecord;
using dict::kHeaderSize;
using dict::kRecordSize;

struct DictHandle {
  std::FILE* stream = nullptr;
  std::string fileName;  // bare, as the store was opened by
  bool readOnly = false;
  Header header;  // as last read or written, with this handle's run-time values
  std::uint32_t probes = 0;
  std::vector<std::string> names;  // sorted ignoring case; valid while haveList
  bool haveList = false;
  // The file's state when the list was last known to match it: a change by another handle
  // moves one of these (every change moves the end of data, the count or the modify time).
  std::uint32_t seenEndOfData = 0;
  std::uint16_t seenCount = 0;
  std::uint32_t seenModifyTime = 0;
  bool deferCommits = false;  // see deferDictCommits
  bool commitPending = false;
  bool busy = false;                    // the last change was refused: see isBusy
  std::vector<StreamLock> changeLocks;  // held from beginDictChange to endDictChange
};

namespace {

std::uint32_t now() { return static_cast<std::uint32_t>(std::time(nullptr)); }

bool acceptable(const char* name) {
  return name != nullptr && trimmedLength(std::string_view(name)) > 0;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (toUpper(a[i]) != toUpper(b[i])) return false;
  return true;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  return _stricmp(a.c_str(), b.c_str()) < 0;
}

void remember(DictHandle& h) {
  h.seenEndOfData = h.header.endOfData;
  h.seenCount = h.header.itemCount;
  h.seenModifyTime = h.header.modifyTime;
}

void dropList(DictHandle& h) {
  h.names.clear();
  h.haveList = false;
}

// Reads the header into the handle, keeping the handle's run-time values. False when the file
// no longer holds a sound header; the operation then does nothing.
bool readHeader(DictHandle& h) {
  std::array<std::uint8_t, kHeaderSize> bytes{};
  Header header;
  if (!storeio::readAt(h.stream, 0, bytes) || !header.decode(bytes)) return false;
  if (!header.isSound(storeio::fileSize(h.stream))) return false;
  h.header = header;
  h.header.probes = h.probes;
  h.header.readOnly = h.readOnly ? 1 : 0;
  if (h.haveList && (h.header.endOfData != h.seenEndOfData || h.header.itemCount != h.seenCount ||
                     h.header.modifyTime != h.seenModifyTime))
    dropList(h);  // another handle changed the file: rebuild from the file when next asked
  return true;
}

bool writeHeader(DictHandle& h) {
  h.header.probes = h.probes;
  if (!storeio::writeAt(h.stream, 0, h.header.encode())) return false;
  remember(h);
  return true;
}

// Moves the modification time past the name list time, even within the same second.
void markChanged(Header& header) { header.modifyTime = std::max(now(), header.listTime + 1); }

// Before the first heap write of a change: the list text at the end of data is about to be
// overwritten, so the header must stop calling it current first.
bool prepareHeapWrite(DictHandle& h) {
  if (!h.header.listIsCurrent()) return true;
  markChanged(h.header);
  return writeHeader(h);
}

bool writeU32(DictHandle& h, std::uint32_t offset, std::uint32_t value) {
  std::array<std::uint8_t, 4> bytes{};
  le::store32(bytes.data(), value);
  return storeio::writeAt(h.stream, offset, bytes);
}

// Space at the end of data; nullopt when the file offsets would overflow.
std::optional<std::uint32_t> allocate(Header& header, std::size_t size) {
  if (size > 0xFFFFFFFFu - header.endOfData) return std::nullopt;
  const std::uint32_t at = header.endOfData;
  header.endOfData += static_cast<std::uint32_t>(size);
  return at;
}

enum class Lookup { found, notFound, damaged };

struct LookupResult {
  Lookup outcome = Lookup::damaged;
  ItemRecord record;
  std::uint32_t linkPosition = 0;  // where the record's offset is stored (or a new one goes)
};

// A record read from the heap; nullopt when it or its name lies outside the heap.
struct StoredItem {
  ItemRecord record;
  std::string name;  // up to its terminating zero
};

std::optional<StoredItem> readItem(const DictHandle& h, std::uint32_t offset) {
  const Header& header = h.header;
  if (offset < header.dataStart || offset > header.endOfData ||
      header.endOfData - offset < kRecordSize)
    return std::nullopt;
  std::array<std::uint8_t, kRecordSize> bytes{};
  StoredItem item;
  if (!storeio::readAt(h.stream, offset, bytes) || !item.record.decode(bytes)) return std::nullopt;
  const ItemRecord& r = item.record;
  if (r.ownOffset != offset || r.nameLength == 0 || r.nameOffset < header.dataStart ||
      r.nameOffset > header.endOfData || header.endOfData - r.nameOffset < r.nameLength)
    return std::nullopt;
  std::string name(r.nameLength, '\0');
  if (!storeio::readAt(h.stream, r.nameOffset,
                       std::span(reinterpret_cast<std::uint8_t*>(name.data()), name.size())))
    return std::nullopt;
  name.resize(std::strlen(name.c_str()));
  item.name = std::move(name);
  return item;
}

// Records a sound chain can hold: bounds every walk of a damaged (looping) chain.
std::uint64_t recordCapacity(const Header& header) {
  return (header.endOfData - header.dataStart) / kRecordSize + 1;
}

LookupResult lookup(DictHandle& h, std::string_view name) {
  LookupResult result;
  result.linkPosition = dict::slotOffset(dict::bucketOf(name, h.header.tableSize));
  std::array<std::uint8_t, 4> slot{};
  if (!storeio::readAt(h.stream, result.linkPosition, slot)) return result;
  std::uint32_t offset = le::load32(slot.data());
  for (std::uint64_t steps = 0; offset != 0; ++steps) {
    if (steps > recordCapacity(h.header)) return result;  // a chain that loops
    auto item = readItem(h, offset);
    if (!item) return result;
    if (equalIgnoringCase(item->name, name)) {
      result.outcome = Lookup::found;
      result.record = item->record;
      return result;
    }
    result.linkPosition = offset;  // the next field is the record's first
    offset = item->record.next;
    h.probes++;
  }
  result.outcome = Lookup::notFound;
  return result;
}

void insertSorted(std::vector<std::string>& names, std::string name) {
  names.insert(std::upper_bound(names.begin(), names.end(), name, lessIgnoringCase),
               std::move(name));
}

void eraseName(std::vector<std::string>& names, std::string_view name) {
  const std::string key(name);
  auto at = std::lower_bound(names.begin(), names.end(), key, lessIgnoringCase);
  if (at != names.end() && equalIgnoringCase(*at, name)) names.erase(at);
}

// Names from the list text; nullopt when the text does not hold count sound lines.
std::optional<std::vector<std::string>> readListText(const DictHandle& h) {
  const Header& header = h.header;
  std::vector<std::string> names;
  if (header.itemCount == 0) return names;
  const std::uint64_t fileSize = storeio::fileSize(h.stream);
  const std::uint64_t available = fileSize - header.endOfData;  // isSound: endOfData <= size
  const std::uint64_t wanted = std::min<std::uint64_t>(
      available, std::uint64_t{header.itemCount} * (header.longestName + 1u));
  std::string text(wanted, '\0');
  if (!storeio::readAt(h.stream, header.endOfData,
                       std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size())))
    return std::nullopt;
  std::string_view rest(text);
  while (names.size() < header.itemCount) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (!line.empty() && line[0] == ';') continue;
    if (line.size() > header.longestName || trimmedLength(line) == 0 ||
        line.find('\0') != std::string_view::npos)
      return std::nullopt;
    names.emplace_back(line);
  }
  return names;
}

// Every name reachable through the hash table. Revisited records end their chain, so damaged
// chains that loop or merge are walked once.
std::vector<std::string> walkNames(DictHandle& h) {
  std::vector<std::string> names;
  const Header& header = h.header;
  std::vector<std::uint8_t> table(std::size_t{header.tableSize} * 4);
  if (!storeio::readAt(h.stream, header.tableOffset, table)) return names;
  std::unordered_set<std::uint32_t> visited;
  for (std::uint32_t bucket = 0; bucket < header.tableSize; ++bucket) {
    std::uint32_t offset = le::load32(table.data() + 4 * bucket);
    while (offset != 0 && names.size() < dict::kMaxItems && visited.insert(offset).second) {
      auto item = readItem(h, offset);
      if (!item) break;
      if (trimmedLength(item->name) > 0) names.push_back(std::move(item->name));
      offset = item->record.next;
    }
  }
  return names;
}

void buildList(DictHandle& h) {
  if (h.haveList) return;
  std::optional<std::vector<std::string>> fromText;
  if (h.header.listIsCurrent()) fromText = readListText(h);
  h.names = fromText ? std::move(*fromText) : walkNames(h);
  std::sort(h.names.begin(), h.names.end(), lessIgnoringCase);
  h.haveList = true;
  remember(h);
}

// The list text can carry every name that holds no line feed and does not start with the
// comment mark ';' (lines so marked are skipped when the text is read).
bool listTextCanHold(const std::vector<std::string>& names) {
  return std::none_of(names.begin(), names.end(), [](const std::string& name) {
    return name.empty() || name[0] == ';' || name.find('\n') != std::string::npos;
  });
}

// The block to store for the data: encoded when the store is compressed and that is shorter.
std::vector<std::uint8_t> storedBlock(const Header& header, const std::uint8_t* data,
                                      std::uint16_t length) {
  std::vector<std::uint8_t> raw(data, data + length);
  if (header.compressed == 0 || length == 0) return raw;
  std::vector<std::uint8_t> encoded(static_cast<std::size_t>(encodeBound(length)));
  int encodedLength = 0;
  Encode(encoded.data(), &encodedLength, data, length);
  if (encodedLength <= 0 || encodedLength >= length) return raw;
  encoded.resize(static_cast<std::size_t>(encodedLength));
  return encoded;
}

// Takes the file for a change and reads its header afresh under the lock; empty when the change
// cannot go on (the busy flag says whether another program held the file).
std::optional<StreamLock> lockForChange(DictHandle& h) {
  std::optional<StreamLock> lock = storeio::lockForChange(h.stream, h.busy);
  if (lock && !readHeader(h)) lock.reset();
  return lock;
}

// Ends a change: the writes are committed to disk. On any failed write the handle's list is
// dropped, so it is rebuilt from what actually reached the file.
bool finish(DictHandle& h, bool written) {
  if (written && h.deferCommits) {
    h.commitPending = true;
    return true;
  }
  if (written && storeio::commit(h.stream)) return true;
  dropList(h);
  return false;
}

}  // namespace

DictHandle* new_dict(const char* fileName, const char* title, std::uint16_t tableSize,
                     std::uint8_t compressed) {
  if (fileName == nullptr || tableSize == 0 || tableSize >= dict::kTableSizeLimit) return nullptr;
  auto h = std::make_unique<DictHandle>();
  h->fileName = bareFileName(fileName);
  Header& header = h->header;
  const std::string_view titleText = title == nullptr ? std::string_view() : title;
  std::copy_n(titleText.begin(), std::min(titleText.size(), dict::kTitleSize - 1),
              header.title.begin());
  header.createTime = header.modifyTime = header.listTime = now();
  header.tableSize = tableSize;
  header.dataStart = header.endOfData = dict::kTableOffset + 4u * tableSize;
  header.compressed = compressed != 0 ? 1 : 0;
  h->stream = _fopen(fileName, "w+b");
  if (h->stream == nullptr) return nullptr;
  const std::vector<std::uint8_t> emptyTable(std::size_t{tableSize} * 4, 0);
  bool written = false;
  {
    const StreamLock lock(h->stream, LockKind::exclusive);
    written = lock.allowsChange() && storeio::writeAt(h->stream, dict::kTableOffset, emptyTable) &&
              writeHeader(*h) && storeio::commit(h->stream);
  }
  if (!written) {
    _fclose(h->stream);
    return nullptr;
  }
  h->haveList = true;
  remember(*h);
  return h.release();
}

DictHandle* open_dict(const char* fileName) {
  if (fileName == nullptr) return nullptr;
  auto h = std::make_unique<DictHandle>();
  h->fileName = bareFileName(fileName);
  h->stream = openForUpdate(fileName, h->readOnly);
  if (h->stream == nullptr) return nullptr;
  bool sound = false;
  {
    const StreamLock lock(h->stream, LockKind::shared);
    sound = readHeader(*h);
    if (sound) buildList(*h);
  }
  if (!sound) {
    _fclose(h->stream);
    return nullptr;
  }
  return h.release();
}

void deinit_dict(DictHandle* handle) {
  std::unique_ptr<DictHandle> h(handle);
  if (!h) return;
  // The list text is only a shortcut for the next open: when another program holds the file,
  // it is left stale rather than waited for.
  std::optional<StreamLock> lock;
  if (!h->readOnly) lock.emplace(h->stream, LockKind::exclusive, std::chrono::milliseconds(0));
  if (lock && (!lock->allowsChange() || !readHeader(*h))) lock.reset();
  if (lock && !h->header.listIsCurrent()) {
    buildList(*h);
    if (listTextCanHold(h->names) && h->names.size() <= dict::kMaxItems) {
      std::string text;
      std::size_t longest = h->header.longestName;
      for (const std::string& name : h->names) {
        text += name;
        text += '\n';
        longest = std::max(longest, name.size());
      }
      if (text.size() <= 0xFFFFFFFFu - h->header.endOfData &&
          storeio::writeAt(
              h->stream, h->header.endOfData,
              std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))) {
        // The list takes the count it actually holds: a count left off by an interrupted
        // change is corrected here.
        h->header.itemCount = static_cast<std::uint16_t>(h->names.size());
        h->header.longestName = static_cast<std::uint16_t>(longest);
        h->header.listTime = std::max(now(), h->header.modifyTime);
        h->header.modifyTime = h->header.listTime;
        if (writeHeader(*h)) h->commitPending = true;
      }
    }
  }
  if (h->commitPending) storeio::commit(h->stream);
  // Locks go before the stream: closing it drops them anyway, and they must not outlive it.
  lock.reset();
  h->changeLocks.clear();
  _fclose(h->stream);
}

void deferDictCommits(DictHandle* handle, bool defer) {
  if (handle == nullptr) return;
  handle->deferCommits = defer;
  if (!defer && handle->commitPending && storeio::commit(handle->stream))
    handle->commitPending = false;
}

int isReadOnly(DictHandle* handle) { return handle != nullptr && handle->readOnly ? 1 : 0; }

std::string dictFileName(DictHandle* handle) {
  return handle != nullptr ? handle->fileName : std::string();
}

int isBusy(DictHandle* handle) { return handle != nullptr && handle->busy ? 1 : 0; }

bool beginDictChange(DictHandle* handle) {
  if (handle == nullptr || handle->readOnly) return false;
  std::optional<StreamLock> lock = lockForChange(*handle);
  if (!lock) return false;
  handle->changeLocks.push_back(std::move(*lock));
  return true;
}

void endDictChange(DictHandle* handle) {
  if (handle != nullptr && !handle->changeLocks.empty()) handle->changeLocks.pop_back();
}

bool add_binary_item(DictHandle* handle, const char* name, const void* data, std::uint16_t length) {
  if (handle == nullptr || handle->readOnly || !acceptable(name)) return false;
  if (data == nullptr && length > 0) return false;
  DictHandle& h = *handle;
  const std::string_view key(name);
  if (key.size() > dict::kMaxNameLength) return false;
  const std::optional<StreamLock> lock = lockForChange(h);
  if (!lock) return false;
  const LookupResult where = lookup(h, key);
  if (where.outcome == Lookup::damaged) return false;
  const std::vector<std::uint8_t> block =
      storedBlock(h.header, static_cast<const std::uint8_t*>(data), length);

  if (where.outcome == Lookup::found) {
    if (!prepareHeapWrite(h)) return finish(h, false);
    ItemRecord record = where.record;
    const auto blockOffset = allocate(h.header, block.size());
    if (!blockOffset) return finish(h, false);
    record.dataOffset = *blockOffset;
    record.dataLength = length;
    record.storedLength = static_cast<std::uint16_t>(block.size());
    markChanged(h.header);
    const bool written = (block.empty() || storeio::writeAt(h.stream, *blockOffset, block)) &&
                         writeHeader(h) &&
                         storeio::writeAt(h.stream, record.ownOffset, record.encode());
    return finish(h, written);
  }

  if (h.header.itemCount >= dict::kMaxItems) return false;
  if (!prepareHeapWrite(h)) return finish(h, false);
  // Name string, data block and record go in one piece to fresh space at the end of data.
  const std::size_t heapSize = key.size() + 1 + block.size() + kRecordSize;
  const auto at = allocate(h.header, heapSize);
  if (!at) return finish(h, false);
  ItemRecord record;
  record.nameOffset = *at;
  record.nameLength = static_cast<std::uint16_t>(key.size() + 1);
  record.dataOffset = *at + static_cast<std::uint32_t>(key.size() + 1);
  record.dataLength = length;
  record.storedLength = static_cast<std::uint16_t>(block.size());
  record.ownOffset = record.dataOffset + static_cast<std::uint32_t>(block.size());
  std::vector<std::uint8_t> heap;
  heap.reserve(heapSize);
  le::putBytes(heap, key);
  heap.push_back(0);
  heap.insert(heap.end(), block.begin(), block.end());
  const auto encodedRecord = record.encode();
  heap.insert(heap.end(), encodedRecord.begin(), encodedRecord.end());
  h.header.itemCount++;
  h.header.longestName =
      std::max<std::uint16_t>(h.header.longestName, static_cast<std::uint16_t>(key.size()));
  markChanged(h.header);
  const bool written = storeio::writeAt(h.stream, *at, heap) && writeHeader(h) &&
                       writeU32(h, where.linkPosition, record.ownOffset);
  if (!finish(h, written)) return false;
  if (h.haveList) insertSorted(h.names, std::string(key));
  return true;
}

bool add_string_item(DictHandle* handle, const char* name, const char* text) {
  if (text == nullptr) return false;
  const std::size_t length = std::strlen(text) + 1;
  if (length > dict::kMaxItemLength) return false;
  return add_binary_item(handle, name, text, static_cast<std::uint16_t>(length));
}

std::uint8_t* find_binary_item(std::uint8_t* buffer, std::uint16_t* outLength,
                               std::uint16_t bufferSize, const char* name, DictHandle* handle) {
  if (outLength != nullptr) *outLength = 0;
  if (handle == nullptr || !acceptable(name) || (buffer == nullptr && bufferSize > 0))
    return nullptr;
  DictHandle& h = *handle;
  const StreamLock lock(h.stream, LockKind::shared);
  if (!readHeader(h)) return nullptr;
  const LookupResult where = lookup(h, name);
  if (where.outcome != Lookup::found) return nullptr;
  const ItemRecord& r = where.record;
  const std::uint16_t wanted = std::min(bufferSize, r.dataLength);
  const bool encoded = h.header.compressed != 0 && r.storedLength < r.dataLength;
  const std::uint16_t blockLength = encoded ? r.storedLength : wanted;
  if (!encoded && r.storedLength != r.dataLength) return nullptr;
  if (blockLength > 0 && (r.dataOffset < h.header.dataStart || r.dataOffset > h.header.endOfData ||
                          h.header.endOfData - r.dataOffset < blockLength))
    return nullptr;
  std::uint16_t delivered = 0;
  if (encoded) {
    std::vector<std::uint8_t> stored(blockLength);
    if (!storeio::readAt(h.stream, r.dataOffset, stored)) return nullptr;
    int decoded = 0;
    Decode(buffer, &decoded, wanted, stored.data(), blockLength);
    delivered = static_cast<std::uint16_t>(std::clamp(decoded, 0, int{wanted}));
  } else {
    if (!storeio::readAt(h.stream, r.dataOffset, std::span(buffer, wanted))) return nullptr;
    delivered = wanted;
  }
  if (outLength != nullptr) *outLength = delivered;
  return buffer;
}

char* find_string_item(char* buffer, std::uint16_t* outLength, std::uint16_t bufferSize,
                       const char* name, DictHandle* handle) {
  std::uint16_t delivered = 0;
  if (outLength != nullptr) *outLength = 0;
  if (bufferSize == 0) return nullptr;  // no room even for the terminator
  if (find_binary_item(reinterpret_cast<std::uint8_t*>(buffer), &delivered, bufferSize, name,
                       handle) == nullptr)
    return nullptr;
  buffer[delivered == 0 ? 0 : delivered - 1] = '\0';
  // replStr needs limit + 1 bytes, so the limit leaves room for the terminator.
  replStr(buffer, "\n", "\r\n", static_cast<unsigned short>(bufferSize - 1));
  if (outLength != nullptr) *outLength = static_cast<std::uint16_t>(std::strlen(buffer));
  return buffer;
}

char* fuzzy_find_string_item(char* buffer, std::uint16_t* outLength, std::uint16_t bufferSize,
                             std::string& name, DictHandle* handle) {
  if (outLength != nullptr) *outLength = 0;
  if (!acceptable(name.c_str())) return nullptr;
  // ’ is read as ', so "Abraham’s" is the possessive of "Abraham" as "Abraham's" is.
  std::string trimmed = unicode::exact(name);
  trim(trimmed);
  const std::size_t length = trimmed.size();
  std::string withoutPunctuation = unicode::exact(name);
  removePunctuation(withoutPunctuation);

  std::vector<std::string> forms{trimmed};
  std::size_t possessive = trimmed.find("'s");
  if (possessive == std::string::npos) possessive = trimmed.find("'S");
  if (possessive != std::string::npos) forms.push_back(trimmed.substr(0, possessive));
  // The positions come from the trimmed form's length but index the unpunctuated caller's
  // name (so a name with leading blanks is not cut); each is checked against that form.
  if (length > 0 && length - 1 < withoutPunctuation.size() &&
      (withoutPunctuation[length - 1] == 's' || withoutPunctuation[length - 1] == 'S'))
    forms.push_back(withoutPunctuation.substr(0, length - 1));
  if (length >= 2 && length - 2 < withoutPunctuation.size() &&
      (withoutPunctuation[length - 2] == 'e' || withoutPunctuation[length - 2] == 'E'))
    forms.push_back(withoutPunctuation.substr(0, length - 2));
  forms.push_back(withoutPunctuation);

  for (const std::string& form : forms) {
    if (find_string_item(buffer, outLength, bufferSize, form.c_str(), handle) != nullptr) {
      name = form;
      return buffer;
    }
  }
  return nullptr;
}

bool delete_item(const char* name, DictHandle* handle) {
  if (handle == nullptr || handle->readOnly || !acceptable(name)) return false;
  DictHandle& h = *handle;
  const std::optional<StreamLock> lock = lockForChange(h);
  if (!lock) return false;
  const LookupResult where = lookup(h, name);
  if (where.outcome != Lookup::found) return false;
  // The header goes first: it marks the list text stale before the item leaves the chain. A
  // kill between the two leaves the item in place with a count one low, which the walk mends.
  if (h.header.itemCount > 0) h.header.itemCount--;
  markChanged(h.header);
  const bool written = writeHeader(h) && writeU32(h, where.linkPosition, where.record.next);
  if (!finish(h, written)) return false;
  if (h.haveList) {
    eraseName(h.names, name);
    remember(h);
  }
  return true;
}

bool rename_item(const char* newName, const char* oldName, DictHandle* handle) {
  if (handle == nullptr || handle->readOnly || !acceptable(newName) || !acceptable(oldName))
    return false;
  DictHandle& h = *handle;
  const std::string_view newKey(newName);
  if (newKey.size() > dict::kMaxNameLength) return false;
  const std::optional<StreamLock> lock = lockForChange(h);
  if (!lock) return false;
  const LookupResult old = lookup(h, oldName);
  if (old.outcome != Lookup::found) return false;
  const LookupResult target = lookup(h, newKey);
  if (target.outcome == Lookup::damaged) return false;
  const bool replacesOther =
      target.outcome == Lookup::found && target.record.ownOffset != old.record.ownOffset;
  std::string replacedName;
  if (replacesOther) {
    auto item = readItem(h, target.record.ownOffset);
    if (!item) return false;
    replacedName = item->name;
  }
  if (!prepareHeapWrite(h)) return finish(h, false);

  // The renamed record: the old item's data under the new name string.
  ItemRecord record = old.record;
  const bool needsRecord = target.outcome == Lookup::notFound;
  const auto at = allocate(h.header, newKey.size() + 1 + (needsRecord ? kRecordSize : 0));
  if (!at) return finish(h, false);
  record.nameOffset = *at;
  record.nameLength = static_cast<std::uint16_t>(newKey.size() + 1);
  if (needsRecord) {
    record.next = 0;
    record.ownOffset = *at + record.nameLength;
  } else {
    // It takes the place of the item found under the new name (the old item itself when only
    // the letter case changes).
    record.next = target.record.next;
    record.ownOffset = target.record.ownOffset;
  }
  std::vector<std::uint8_t> heap;
  le::putBytes(heap, newKey);
  heap.push_back(0);
  if (needsRecord) {
    const auto encodedRecord = record.encode();
    heap.insert(heap.end(), encodedRecord.begin(), encodedRecord.end());
  }
  h.header.longestName =
      std::max<std::uint16_t>(h.header.longestName, static_cast<std::uint16_t>(newKey.size()));
  markChanged(h.header);
  bool written = storeio::writeAt(h.stream, *at, heap) && writeHeader(h);
  if (written) {
    written = needsRecord ? writeU32(h, target.linkPosition, record.ownOffset)
                          : storeio::writeAt(h.stream, record.ownOffset, record.encode());
  }
  if (written && (needsRecord || replacesOther)) {
    // Only now does the old record leave its chain. The chain may have changed above (the new
    // record linked behind it, or the record before it replaced), so it is looked up afresh.
    const LookupResult again = lookup(h, oldName);
    written = again.outcome == Lookup::found && again.record.ownOffset == old.record.ownOffset &&
              writeU32(h, again.linkPosition, again.record.next);
    if (written && replacesOther) {
      if (h.header.itemCount > 0) h.header.itemCount--;
      written = writeHeader(h);
    }
  }
  if (!finish(h, written)) return false;
  if (h.haveList) {
    eraseName(h.names, oldName);
    if (replacesOther) eraseName(h.names, replacedName);
    insertSorted(h.names, std::string(newKey));
    remember(h);
  }
  return true;
}

void get_item_list(std::span<const std::string>* list, std::uint16_t* count, DictHandle* handle) {
  if (list != nullptr) *list = {};
  if (count != nullptr) *count = 0;
  if (handle == nullptr) return;
  DictHandle& h = *handle;
  const StreamLock lock(h.stream, LockKind::shared);
  if (!readHeader(h)) return;
  buildList(h);
  if (list != nullptr) *list = h.names;
  if (count != nullptr)
    *count = static_cast<std::uint16_t>(std::min(h.names.size(), dict::kMaxItems));
}

void dispose_item_list(std::vector<std::string>& list, std::uint16_t& count) {
  list.clear();
  list.shrink_to_fit();
  count = 0;
}

// ---- Format records ----

namespace dict {

std::array<std::uint8_t, kHeaderSize> Header::encode() const {
  std::vector<std::uint8_t> out;
  out.reserve(kHeaderSize);
  le::put32(out, magic);
  out.insert(out.end(), title.begin(), title.end());
  le::put32(out, version1);
  le::put32(out, version2);
  le::put32(out, createTime);
  le::put32(out, modifyTime);
  le::put32(out, listTime);
  le::put16(out, itemCount);
  le::put16(out, longestName);
  le::put16(out, 0);
  le::put32(out, tableOffset);
  le::put32(out, dataStart);
  le::put32(out, endOfData);
  le::put32(out, compressed);
  le::put32(out, tableSize);
  le::put32(out, probes);
  le::put32(out, readOnly);
  le::put32(out, 0);  // the handle's list and stream mean nothing on disk
  le::put32(out, 0);
  std::array<std::uint8_t, kHeaderSize> bytes{};
  std::copy_n(out.begin(), kHeaderSize, bytes.begin());
  return bytes;
}

bool Header::decode(std::span<const std::uint8_t> bytes) {
  le::ByteReader in(bytes);
  std::uint16_t zero = 0;
  in.get32(magic);
  in.getBytes(std::span(reinterpret_cast<std::uint8_t*>(title.data()), title.size()));
  title.back() = '\0';
  in.get32(version1);
  in.get32(version2);
  in.get32(createTime);
  in.get32(modifyTime);
  in.get32(listTime);
  in.get16(itemCount);
  in.get16(longestName);
  in.get16(zero);
  in.get32(tableOffset);
  in.get32(dataStart);
  in.get32(endOfData);
  in.get32(compressed);
  in.get32(tableSize);
  in.get32(probes);
  in.get32(readOnly);
  return in.skip(8);
}

bool Header::isSound(std::uint64_t fileSize) const {
  return tableSize > 0 && tableSize < kTableSizeLimit && tableOffset == kTableOffset &&
         dataStart == kTableOffset + 4 * tableSize && endOfData >= dataStart &&
         endOfData <= fileSize;
}

std::array<std::uint8_t, kRecordSize> ItemRecord::encode() const {
  std::vector<std::uint8_t> out;
  out.reserve(kRecordSize);
  le::put32(out, next);
  le::put32(out, ownOffset);
  le::put32(out, nameOffset);
  le::put16(out, nameLength);
  le::put32(out, dataOffset);
  le::put16(out, dataLength);
  le::put16(out, storedLength);
  std::array<std::uint8_t, kRecordSize> bytes{};
  std::copy_n(out.begin(), kRecordSize, bytes.begin());
  return bytes;
}

bool ItemRecord::decode(std::span<const std::uint8_t> bytes) {
  le::ByteReader in(bytes);
  in.get32(next);
  in.get32(ownOffset);
  in.get32(nameOffset);
  in.get16(nameLength);
  in.get32(dataOffset);
  in.get16(dataLength);
  return in.get16(storedLength);
}

std::uint32_t bucketOf(std::string_view name, std::uint32_t tableSize) {
  auto upper = [&](std::size_t i) -> std::uint32_t {
    // A one-character name takes its terminating zero as the second character.
    return i < name.size() ? static_cast<unsigned char>(toUpper(name[i])) : 0u;
  };
  const auto length = static_cast<std::uint32_t>(name.size());
  std::uint32_t hash = 0;
  if (length > 3)
    hash = 7 * upper(0) + 73 * upper(1) + 113 * upper(2) + 97 * upper(3) + 3341 * length;
  else
    hash = 73 * upper(0) + 113 * upper(1) + 3341 * length;
  return tableSize == 0 ? 0 : hash % tableSize;
}

}  // namespace dict
}  // namespace vellum
