// qelmount - puts a card into a reader and takes it out again under Wine: a folder becomes a drive letter
// (or stops being one) while programs run, the way a memory card or USB stick comes and goes.
//
//   qelmount.exe add E: FOLDER [fixed]   FOLDER (a Windows path) becomes drive E:, removable unless "fixed"
//   qelmount.exe reader R:               R: becomes a removable drive with no card in it
//   qelmount.exe remove E:               E: goes away; the folder stays
//   qelmount.exe --help                  the usage (also -h and /?)
//
// Exit code 0, or the Win32 error code of the step that failed; 2, with the usage on standard error, for a
// command or option it does not know or one missing its drive or folder.
#include <cstdio>
#include <string>

#include "hosts/mount_manager.h"
#include "hosts/usage.h"

namespace {

const char kUsage[] = "usage: qelmount add E: FOLDER [fixed] | reader R: | remove E:\n"
                      "  add E: FOLDER [fixed]   FOLDER becomes drive E:, removable unless \"fixed\"\n"
                      "  reader R:               R: becomes a removable drive with no card in it\n"
                      "  remove E:               E: goes away; the folder stays\n";

} // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace qel::winedrive;
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (qel::hosts::AsksForHelp(command))
        return qel::hosts::ShowUsage(kUsage, true);
    const wchar_t letter = argc > 2 && argv[2][0] != L'\0' ? argv[2][0] : L'\0';
    DWORD error = ERROR_SUCCESS;
    if (command == L"add" && letter && argc >= 4)
        error = AddDrive(letter, argv[3],
                         argc > 4 && std::wstring(argv[4]) == L"fixed" ? DRIVE_FIXED : DRIVE_REMOVABLE);
    else if (command == L"reader" && letter)
        error = AddDriveWithoutMedium(letter);
    else if (command == L"remove" && letter)
        error = RemoveDrive(letter);
    else
        return qel::hosts::ShowUsage(kUsage, false);
    if (error != ERROR_SUCCESS)
        std::fprintf(stderr, "qelmount: error %lu\n", error);
    return static_cast<int>(error);
}
