// test_env.h - what the seam's conformance tests need from the machine they run on.
#ifndef QELBOOT_TESTS_CONFORMANCE_TEST_ENV_H
#define QELBOOT_TESTS_CONFORMANCE_TEST_ENV_H

#include <cstdint>
#include <string>

namespace qel::testenv {

// Makes a fresh, empty scratch key for the running test under the current user's "Software" key and the
// machine's "SOFTWARE" key, and returns its path below the hive (the same path in both hives).
std::wstring FreshScratchKey();

// Makes a fresh, empty folder for the running test and returns its full path, without a trailing backslash.
std::wstring FreshScratchFolder();

// Creates a folder at a full path whose parent exists.
void CreateFolder(const std::wstring& path);

// Creates a file at a full path holding `content`, which is ASCII, stored one byte a character as Windows'
// profile files are.
void CreateTextFile(const std::wstring& path, const std::wstring& content);

// Puts a library that does nothing when loaded at a full path.
void CreateLibraryFile(const std::wstring& path);

// Makes a fresh drive of `type` (an os::kDrive* value) with a medium in it, an empty root and an unnamed
// "NTFS" volume, at a letter of its own, and returns its root as "X:". It goes when the test ends.
std::wstring FreshDrive(std::uint32_t type);

// Takes the medium out of a removable drive made by FreshDrive: letter and type stay, the volume goes.
void RemoveDriveMedium(const std::wstring& root);

// Raises a structured exception with `code`, as RaiseException does; and writes through a null pointer.
[[noreturn]] void RaiseStructured(std::uint32_t code);
void WriteThroughNull();

// The full path of the running test program, as the machine reports it for the current process.
std::wstring OwnProgramPath();

} // namespace qel::testenv

#endif // QELBOOT_TESTS_CONFORMANCE_TEST_ENV_H
