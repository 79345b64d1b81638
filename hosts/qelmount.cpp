// qelmount - puts a card into a reader and takes it out again under Wine: a folder becomes a drive letter
// (or stops being one) while programs run, the way a memory card or USB stick comes and goes.
//
//   qelmount.exe add E: FOLDER [fixed]   FOLDER (a Windows path) becomes drive E:, removable unless "fixed"
//   qelmount.exe reader R:               R: becomes a removable drive with no card in it
//   qelmount.exe remove E:               E: goes away; the folder stays
//
// Exit code 0, or the Win32 error code of the step that failed.
#include <cstdio>
#include <string>

#include "hosts/mount_manager.h"

int wmain(int argc, wchar_t** argv) {
    using namespace qel::winedrive;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const wchar_t letter = argc > 2 && argv[2][0] != L'\0' ? argv[2][0] : L'\0';
    DWORD error = ERROR_BAD_ARGUMENTS;
    if (command == L"add" && letter && argc >= 4)
        error = AddDrive(letter, argv[3],
                         argc > 4 && std::wstring(argv[4]) == L"fixed" ? DRIVE_FIXED : DRIVE_REMOVABLE);
    else if (command == L"reader" && letter)
        error = AddDriveWithoutMedium(letter);
    else if (command == L"remove" && letter)
        error = RemoveDrive(letter);
    else
        std::fprintf(stderr, "usage: qelmount add E: FOLDER [fixed] | reader R: | remove E:\n");
    if (error != ERROR_SUCCESS && error != ERROR_BAD_ARGUMENTS)
        std::fprintf(stderr, "qelmount: error %lu\n", error);
    return static_cast<int>(error);
}
