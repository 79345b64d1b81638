// legacy_sibling.h - what the library knows of the older sibling application, which predates registrations.
#ifndef QELBOOT_REGISTRY_LEGACY_SIBLING_H
#define QELBOOT_REGISTRY_LEGACY_SIBLING_H

namespace qel {

// The sibling counts as installed when this key of the machine hive opens; its default value is the
// installation folder.
inline constexpr wchar_t kSiblingInstallKey[] = L"SOFTWARE\\Quorl\\Ostrand\\3.0\\Organizer\\ApplicationPath";
inline constexpr wchar_t kSiblingAutoplayKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\"
    L"QuorlOstrandShowPicturesOnArrival";
inline constexpr wchar_t kSiblingName[] = L"Quorl Ostrand 3.0";
inline constexpr wchar_t kSiblingDescription[] = L"Organize and edit pictures using";
inline constexpr wchar_t kSiblingImageFormats[] = L"jpg jpe jpeg png tif tiff psd wbmp wbm tga vda icb vst "
                                                  L"pxr pcx jpf jpx jp2 j2c j2k jpc gif crw nef raf orf "
                                                  L"mrw dcr mos raw pef srf dnf x3f cr2";
inline constexpr wchar_t kSiblingAudioFormats[] = L"wma mp3 wav";
inline constexpr wchar_t kSiblingVideoFormats[] = L"3gp 3g2 avi mov mpg mpe mpeg mp4 wmv";
inline constexpr wchar_t kSiblingDeviceConnectProgram[] = L"\\OstrandDeviceConnect.exe";
inline constexpr wchar_t kSiblingProxyProgram[] = L"\\OstProxy.exe";
inline constexpr wchar_t kSiblingIcon[] = L"\\OstrandOrganizer.exe, 111";

} // namespace qel

#endif // QELBOOT_REGISTRY_LEGACY_SIBLING_H
