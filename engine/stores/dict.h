// Dictionary stores: one file mapping case-insensitive names to blocks of bytes.
//
// Conventions:
// - A store is reached through an opaque DictHandle*, from new_dict or open_dict, released
//   by deinit_dict. Operations given no handle do nothing and find nothing.
// - The handle comes first for the adding operations and last for all the others.
// - Store files are found by their bare name along the data path (support/files.h): for
//   update from the first writable directory holding them, else for reading from any (the
//   handle is then read-only). new_dict creates in the first writable directory.
// - A name is acceptable when its length without trailing blanks is above 0. It is hashed,
//   stored and compared as given, trailing blanks included, ignoring ASCII letter case.
//   Operations given an unacceptable name do nothing and find nothing.
// - Several handles may be open on one file, in this process and in others; each sees the
//   others' changes at its next operation, because every operation re-reads the header first.
// - Between programs, every change holds the file's exclusive lock (support/files.h) and every
//   read a shared one, so no change is made from a stale header and no read sees half a change.
//   A change that cannot have the lock within the wait is refused, writes nothing and returns
//   false with isBusy set. A read that cannot have it goes on without it.
// - Every change is ordered so that a process killed after any of its writes leaves a store
//   that opens and returns every item committed before the change (engine/stores/
//   dict_format.h has the layout; dict.cpp the order of each change). A change ends with the
//   file committed to disk.
// - A damaged file gives a null handle from open_dict, or finds nothing; it never makes an
//   operation read or write outside the file's areas.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vellum {

struct DictHandle;

// Creates (or empties) a store with the title (cut to 79 characters), tableSize buckets and
// blocks encoded by the text codec when compressed is non-zero. Table sizes of 0 and of 16384
// or more are refused before any file is touched. Null when the file cannot be created.
DictHandle* new_dict(const char* fileName, const char* title, std::uint16_t tableSize,
                     std::uint8_t compressed);

// Opens a store for update, or read-only when only reading is possible. Null when the file is
// missing or its header does not describe a store that fits the file.
DictHandle* open_dict(const char* fileName);

// Writes the name list text when it is stale (writable handles only), releases the stream
// use and the handle. Closing a null handle does nothing.
void deinit_dict(DictHandle* handle);

// While defer is true, changes through this handle skip their commit to disk (each write
// still reaches the operating system in order); deinit_dict, or turning it off, commits once.
// For building a store under a temporary name, where a crash leaves only that file behind.
void deferDictCommits(DictHandle* handle, bool defer);

// 1 when the store could only be opened for reading; 0 otherwise and for no handle.
int isReadOnly(DictHandle* handle);

// The bare file name the store was opened or created by ("topics.dic"); empty for no handle.
std::string dictFileName(DictHandle* handle);

// 1 when the handle's last change (or beginDictChange) was refused because another program
// held the file for the whole wait; 0 otherwise and for no handle. Every change resets it.
int isBusy(DictHandle* handle);

// Holds the file's exclusive lock across several operations through this handle, for a change
// that depends on what it reads (read a topic, add a reference, write it back): no other
// program changes the file in between. The operations inside take no further wait. Calls nest;
// each beginDictChange that returned true is closed by one endDictChange. False for a
// read-only handle, or when another program held the file for the whole wait (isBusy then
// says so).
bool beginDictChange(DictHandle* handle);
void endDictChange(DictHandle* handle);

// Holds beginDictChange for its lifetime.
class DictChange {
 public:
  explicit DictChange(DictHandle* handle) : handle_(handle), held_(beginDictChange(handle)) {}
  ~DictChange() {
    if (held_) endDictChange(handle_);
  }
  DictChange(const DictChange&) = delete;
  DictChange& operator=(const DictChange&) = delete;
  bool held() const { return held_; }

 private:
  DictHandle* handle_;
  bool held_;
};

// Adds the item, or replaces the data of the item of that name. length is at most 65535.
// True when the item was written; false for a read-only handle, an unacceptable name, a full
// store (65535 items), a damaged chain or a failed write.
bool add_binary_item(DictHandle* handle, const char* name, const void* data, std::uint16_t length);

// add_binary_item with the text and its terminating zero (texts of at most 65534 bytes).
bool add_string_item(DictHandle* handle, const char* name, const char* text);

// Copies at most bufferSize bytes of the item into buffer and sets *outLength to the bytes
// delivered. Returns buffer, or null (with *outLength 0) when the item is not found.
std::uint8_t* find_binary_item(std::uint8_t* buffer, std::uint16_t* outLength,
                               std::uint16_t bufferSize, const char* name, DictHandle* handle);

// The item as zero-terminated text in buffer, with each line feed turned into carriage return
// and line feed, all within bufferSize bytes (terminator included): a text cut at the buffer
// loses its last character to the terminator. *outLength receives the text's length. Null
// when not found or when bufferSize is 0.
char* find_string_item(char* buffer, std::uint16_t* outLength, std::uint16_t bufferSize,
                       const char* name, DictHandle* handle);

// find_string_item trying variants of name in order: the name trimmed of blanks, line ends
// and edge punctuation; that form cut at "'s" (else "'S"); the name without punctuation
// (keeping '-' and the apostrophe) less a final "s"; the same less a final "e" and the
// character after it; the same unchanged. On success name is set to the form that matched.
char* fuzzy_find_string_item(char* buffer, std::uint16_t* outLength, std::uint16_t bufferSize,
                             std::string& name, DictHandle* handle);

// Removes the item. True when it was removed.
bool delete_item(const char* name, DictHandle* handle);

// Gives the item oldName the name newName. When another item already has newName, the renamed
// item takes its place and the store holds one item fewer. True when renamed.
bool rename_item(const char* newName, const char* oldName, DictHandle* handle);

// Hands out the handle's sorted list of names (ignoring case) and its length. The list belongs
// to the handle and stays valid until the handle's next change or deinit_dict. A name added
// through another handle on the same file appears once this handle's list is rebuilt, which
// happens at its next call after any change by another handle. No handle gives an empty list.
void get_item_list(std::span<const std::string>* list, std::uint16_t* count, DictHandle* handle);

// Releases a list of names and sets the count to 0 (deinit_dict does this for the handle's).
void dispose_item_list(std::vector<std::string>& list, std::uint16_t& count);

}  // namespace vellum
