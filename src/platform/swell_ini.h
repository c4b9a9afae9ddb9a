// SPDX-License-Identifier: ISC
// INI profile store: the private-profile functions through which the
// configuration file is read and written. Each file is parsed once into a
// process-wide cache of 32 entries and parsed again only when its
// modification time (whole seconds) or size changes; every change rewrites
// the whole file through a temporary file renamed over it, so another process
// sharing the file never reads half of it. All functions are safe from any
// thread (one process-wide recursive mutex) and never report an error: a
// missing or unreadable file reads as empty, a failed write-back keeps the
// change in memory only.
//
// File format: "[name]" opens a section (text after the ']' is ignored),
// "key=value" lines belong to the current section, anything else is ignored.
// Section and key names compare case-insensitively (ASCII), values exactly.
//
// `file` is a path when it contains a '/'. Otherwise it names a file next to
// the default profile, which is g_swell_defini when set, else
// "$HOME/.libSwell.ini" (HOME empty or unset: "/tmp/.libSwell.ini"); no name
// or an empty name is the default profile itself, the name "foo" the default
// profile with its extension replaced by "_foo.ini".
#pragma once

#include <cstddef>
#include <string>

// Default profile path; nullptr or "" leaves the default to HOME. At most
// 511 characters of it are used.
extern const char* g_swell_defini;

// With `section` and `key`: the key's value with blanks and tabs trimmed and
// one pair of enclosing double or single quotes removed, else `defaultValue`
// (nullptr reads as ""). With `section` only: the section's key names; with
// no section: all section names. A list is each name followed by a zero
// byte, then one more zero byte. At most `size` - 1 bytes before the final
// zero are written (a name that does not fit is cut short and ends the
// list). Returns the number of bytes before the final zero. `defaultValue`
// may point into `out`.
int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out, int size,
                            const char* file);

// Sets `key` in `section` to `value`, creating both when needed. A null
// `value` deletes the key, a null `key` the whole section. The file is
// written back only when something changed. Returns false (changing nothing)
// when `section` is null or `key` is "", and when a name or the value would
// change the file's structure: a line break or other control character, a
// ']' in the section, an '=' or a leading '[' in the key.
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);

// Replaces the keys of `section` with `entries`, a list of "key=value"
// texts each ended by a zero byte, the list by one more (nullptr reads as an
// empty list). Each entry is cut after 8191 characters and split at its first
// '=' from the second character on; entries without one are skipped. An
// existing section given an empty list stays in the file, empty. A missing
// section with an empty list changes nothing. Returns false (changing
// nothing) when `section` is null, or when the section name or any entry
// would change the file's structure (as for WritePrivateProfileString).
bool WritePrivateProfileSection(const char* section, const char* entries, const char* file);

// The keys of `section` as a list of "key=value" texts in the form above
// (values as stored, untrimmed), cut to fit `size`. Returns the number of
// bytes before the final zero.
int GetPrivateProfileSection(const char* section, char* out, int size, const char* file);

// The value's leading decimal integer (saturated to the range of int).
// An empty or missing value, or one whose integer is 0 while its first
// character is not '0' (a value that is no number), gives `defaultValue`.
int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file);

// Stores `length` bytes as upper-case hexadecimal pairs followed by the
// pair of their sum modulo 256 (the bytes of "abc" give "61626326"). A null
// `key` or `data` acts as WritePrivateProfileString with no value. A negative
// length returns false and changes nothing.
bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, int length, const char* file);

// Decodes what WritePrivateProfileStruct stored into `length` bytes of
// `data` (hexadecimal digits in either case). False when the text is not
// exactly 2 * (length + 1) characters, holds a non-hexadecimal digit or the
// checksum differs; bytes decoded before the fault stay in `data`.
bool GetPrivateProfileStruct(const char* section, const char* key, void* data, int length, const char* file);

// For tests only: forgets every cached file (unsaved changes included), so
// that the next call parses the file again.
void swellIniResetCacheForTests();
// For the fuzz target: files kept in memory instead of on disk (switching
// empties the cache and the memory), and the text of one.
void swellIniKeepFilesInMemoryForTests(bool on);
void swellIniSetMemoryFileForTests(const char* path, const char* text, size_t size);
std::string swellIniMemoryFileForTests(const char* path);
