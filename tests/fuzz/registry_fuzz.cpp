// Registrations, preferences, launch status, locale and the sibling's keys holding values of any type and
// size, read through the information handler's operations.
#include "fuzz_input.h"
#include "registry/legacy_sibling.h"

namespace {

using namespace qel;
constexpr os::Hive kHives[] = {os::Hive::LocalMachine, os::Hive::CurrentUser};
const std::wstring kAnchorKey = L"SOFTWARE\\Quorl\\Anchor\\Quorl Vandrel";
const wchar_t* const kNames[] = {L"Name",
                                 L"ProxyPath",
                                 L"Desc",
                                 L"CmdLine",
                                 L"Icon",
                                 L"Image",
                                 L"Audio",
                                 L"Video",
                                 L"DefaultFlag",
                                 L"AutoLaunchOnDeviceConnect",
                                 L"qellaunchstatus",
                                 L"locale",
                                 L"SniffDepth",
                                 L"",
                                 L"Action"};
const wchar_t* const kLikely[] = {L"C:\\A\\p.exe", L"C:\\A\\a.exe", L"App", L"jpg  png tif",
                                  L"\"C:\\A\\p.exe\""};
const wchar_t* const kSubkeys[] = {L"", L"\\File Formats", L"\\Preferences", L"\\.."};

// An application key below the maker key, from the input: nested, odd or long names. A name of 128
// characters or more directly below the maker key would end its enumeration before the anchor.
std::wstring ApplicationKey(fuzz::Input& in) {
    std::wstring key = L"SOFTWARE\\Quorl\\" + in.Text(100);
    for (int parts = in.Below(3); parts > 0; --parts)
        key += L"\\" + in.Text(in.Bool() ? 8 : 300);
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.machine();
    // A registration that is always listed: an empty list would end the process.
    for (const auto& [name, text] :
         {std::pair{L"Name", L"Anchor"}, {L"ProxyPath", L"C:\\A\\p.exe"}, {L"CmdLine", L"C:\\A\\a.exe"}})
        m.SetString(os::Hive::LocalMachine, kAnchorKey, name, text);
    m.AddFile(L"C:\\A\\p.exe");
    m.AddFile(L"C:\\A\\a.exe");
    m.SetSelf(in.Bool() ? L"C:\\A\\p.exe" : L"C:\\B\\p.exe");
    m.AddFile(L"C:\\B\\p.exe");
    std::vector<std::wstring> keys{kAnchorKey.substr(0, kAnchorKey.size() - 14), kSiblingInstallKey,
                                   kSiblingAutoplayKey, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"};
    for (int count = in.Below(4); count > 0; --count)
        keys.push_back(ApplicationKey(in));
    for (int values = in.Below(40); values > 0 && !in.Done(); --values) {
        const std::wstring& key = keys[in.Below(keys.size())];
        const bool registration =
            key.find(L"Quorl") != std::wstring::npos && key.find(L"Ostrand") == std::wstring::npos;
        const std::wstring path = registration ? key + L"\\Quorl Vandrel" + in.Pick(kSubkeys) : key;
        const os::Hive hive = in.Pick(kHives);
        // The anchor stays readable and listed.
        if (sim::FoldCase(path).rfind(sim::FoldCase(kAnchorKey), 0) == 0)
            continue;
        switch (in.Below(6)) {
        case 0:
            m.DenyRead(hive, path);
            break;
        case 1:
            m.DenyWrite(hive, path);
            break;
        default: {
            const std::wstring name = in.Bool() ? in.Pick(kNames) : in.Text(20);
            const std::uint32_t type = in.ValueType();
            m.SetValue(hive, path, name, type, in.ValueBytes(in.Pick(kLikely)));
        }
        }
    }
    CQELBootCommandHandler handler;
    std::vector<appInfo_tag> records;
    appInfo_tag record;
    std::wstring text;
    handler.LoadInformation();
    handler.GetAllApplicationInfo(records);
    handler.GetDefaultApplicationInfo(records);
    for (const auto& found : records)
        FUZZ_CHECK(handler.GetApplicationInfo(found.name, record));
    handler.GetOST3Info(record);
    handler.GetQELLaunchStatus();
    handler.SetQELLaunchStatus(in.Number<std::int32_t>());
    handler.GetQELLaunchStatus();
    handler.GetQELLocaleString(text);
    handler.MaintainOrder();
    FUZZ_CHECK(!handler.apps.empty());
    return 0;
}
