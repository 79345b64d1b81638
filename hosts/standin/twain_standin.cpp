// twain_standin.cpp - a stand-in twain_32.dll for tests: a source manager whose data sources are the lines of
// "twain-sources.txt" beside the DLL, one product name a line, read again at every MSG_GETFIRST. A line
// "REFUSE" makes MSG_OPENDSM fail. Each call is appended to "twain-calls.txt" beside the DLL as
// "MESSAGE RETURNCODE" (OPENDSM, CLOSEDSM, GETFIRST, GETNEXT, or OTHER), so that a test can tell when a
// program is done asking.
//
// Only the source manager's opening, closing and list of sources are there; anything else fails.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "hosts/standin/beside_this_dll.h"

namespace {

// The TWAIN standard's records and codes, as its header declares them (2-byte packing on Windows).
#pragma pack(push, 2)
struct TwVersion {
    WORD MajorNum;
    WORD MinorNum;
    WORD Language;
    WORD Country;
    char Info[34];
};
struct TwIdentity {
    DWORD Id;
    TwVersion Version;
    WORD ProtocolMajor;
    WORD ProtocolMinor;
    DWORD SupportedGroups;
    char Manufacturer[34];
    char ProductFamily[34];
    char ProductName[34];
};
#pragma pack(pop)
static_assert(sizeof(TwIdentity) == 156, "TW_IDENTITY is 156 bytes");

constexpr DWORD kDgControl = 0x0001;
constexpr DWORD kDgImage = 0x0002;
constexpr WORD kDatIdentity = 0x0003;
constexpr WORD kDatParent = 0x0004;
constexpr WORD kMsgGetFirst = 0x0004;
constexpr WORD kMsgGetNext = 0x0005;
constexpr WORD kMsgOpenDsm = 0x0301;
constexpr WORD kMsgCloseDsm = 0x0302;
constexpr WORD kTwrcSuccess = 0;
constexpr WORD kTwrcFailure = 1;
constexpr WORD kTwrcEndOfList = 7;

std::vector<std::string> ReadLines() {
    std::vector<std::string> lines;
    std::ifstream file(FileBesideThisDll(L"twain-sources.txt").c_str());
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

void Copy(char (&field)[34], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), text.size() < sizeof field ? text.size() : sizeof field - 1);
}

// A program calls the source manager from one thread at a time.
bool opened = false;
std::vector<std::string> sources;
std::size_t nextSource = 0;

WORD ListSource(bool first, TwIdentity* identity) {
    if (!opened || !identity)
        return kTwrcFailure;
    if (first) {
        sources = ReadLines();
        nextSource = 0;
    }
    if (nextSource >= sources.size())
        return kTwrcEndOfList;
    *identity = {};
    identity->Id = static_cast<DWORD>(nextSource + 1);
    identity->Version.MajorNum = 1;
    Copy(identity->Version.Info, "1.0");
    identity->ProtocolMajor = 1;
    identity->ProtocolMinor = 9;
    identity->SupportedGroups = kDgControl | kDgImage;
    Copy(identity->Manufacturer, "Sample");
    Copy(identity->ProductFamily, "Sample");
    Copy(identity->ProductName, sources[nextSource++]);
    return kTwrcSuccess;
}

WORD Answer(TwIdentity* origin, DWORD group, WORD data, WORD message, void* pointer, const char** name) {
    if (group == kDgControl && data == kDatParent && message == kMsgOpenDsm) {
        *name = "OPENDSM";
        for (const std::string& line : ReadLines()) {
            if (line == "REFUSE")
                return kTwrcFailure;
        }
        // The parent is a pointer to the application's window handle.
        if (opened || !origin || !pointer || !*static_cast<HWND*>(pointer))
            return kTwrcFailure;
        origin->Id = 1;
        opened = true;
        return kTwrcSuccess;
    }
    if (group == kDgControl && data == kDatParent && message == kMsgCloseDsm) {
        *name = "CLOSEDSM";
        if (!opened)
            return kTwrcFailure;
        opened = false;
        return kTwrcSuccess;
    }
    if (group == kDgControl && data == kDatIdentity && (message == kMsgGetFirst || message == kMsgGetNext)) {
        *name = message == kMsgGetFirst ? "GETFIRST" : "GETNEXT";
        return ListSource(message == kMsgGetFirst, static_cast<TwIdentity*>(pointer));
    }
    *name = "OTHER";
    return kTwrcFailure;
}

} // namespace

// Exported at ordinal 1, as the real one is, and by name.
extern "C" WORD WINAPI DSM_Entry(TwIdentity* origin, TwIdentity*, DWORD group, WORD data, WORD message,
                                 void* pointer) {
    const char* name = "";
    const WORD result = Answer(origin, group, data, message, pointer, &name);
    std::ofstream(FileBesideThisDll(L"twain-calls.txt").c_str(), std::ios::app)
        << name << ' ' << result << '\n';
    return result;
}
