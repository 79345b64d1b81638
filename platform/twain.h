// twain.h - the records and codes of the TWAIN standard that the library exchanges with a data-source
// manager (twain_32.dll), declared here as mingw-w64 ships no twain.h.
#ifndef QELBOOT_PLATFORM_TWAIN_H
#define QELBOOT_PLATFORM_TWAIN_H

#include <cstdint>

#include "platform/os.h"

namespace qel::twain {

// The standard packs its records on 2-byte boundaries on both widths of Windows.
#pragma pack(push, 2)
struct TW_VERSION {
    std::uint16_t MajorNum;
    std::uint16_t MinorNum;
    std::uint16_t Language;
    std::uint16_t Country;
    char Info[34];
};
struct TW_IDENTITY {
    std::uint32_t Id;
    TW_VERSION Version;
    std::uint16_t ProtocolMajor;
    std::uint16_t ProtocolMinor;
    std::uint32_t SupportedGroups;
    char Manufacturer[34];
    char ProductFamily[34];
    char ProductName[34];
};
#pragma pack(pop)
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY is 156 bytes");

inline constexpr std::uint32_t DG_CONTROL = 1;
inline constexpr std::uint32_t DG_IMAGE = 2;
inline constexpr std::uint16_t TWLG_USA = 13;
inline constexpr std::uint16_t TWCY_USA = 1;
inline constexpr std::uint16_t DAT_IDENTITY = 3;
inline constexpr std::uint16_t DAT_PARENT = 4;
inline constexpr std::uint16_t MSG_GETFIRST = 4;
inline constexpr std::uint16_t MSG_GETNEXT = 5;
inline constexpr std::uint16_t MSG_OPENDSM = 0x0301;
inline constexpr std::uint16_t MSG_CLOSEDSM = 0x0302;
inline constexpr std::uint16_t TWRC_SUCCESS = 0;
inline constexpr std::uint16_t TWRC_FAILURE = 1;
inline constexpr std::uint16_t TWRC_ENDOFLIST = 7;

// DSM_Entry, exported by the manager at ordinal 1.
using DsmEntryFunction = std::uint16_t(QELBOOT_WINAPI*)(TW_IDENTITY* origin, TW_IDENTITY* destination,
                                                        std::uint32_t dataGroup, std::uint16_t dataType,
                                                        std::uint16_t message, void* data);

} // namespace qel::twain

#endif // QELBOOT_PLATFORM_TWAIN_H
