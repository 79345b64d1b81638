// The boot executable's command line, split into any words, handled as qelboot.exe handles it.
#include "fuzz_input.h"
#include "hosts/boot_command.h"

namespace {

using namespace qel;
const wchar_t* const kWords[] = {L"-install", L"-UNINSTALL", L"-default", L"-Default", L"yes", L"NO",
                                 L"App",      L"app",        L"Anchor",   L"",         L"-i",  L"maybe"};

void AddApplication(sim::Machine& m, const std::wstring& key, const std::wstring& name,
                    const std::wstring& proxy) {
    const std::wstring path = L"SOFTWARE\\Quorl\\" + key + L"\\Quorl Vandrel";
    m.SetString(os::Hive::LocalMachine, path, L"Name", name);
    m.SetString(os::Hive::LocalMachine, path, L"ProxyPath", proxy);
    m.SetString(os::Hive::LocalMachine, path, L"CmdLine", L"C:\\A\\a.exe");
    m.AddFile(proxy);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.machine();
    // Always one application: an empty list would end the process.
    AddApplication(m, L"Anchor", L"Anchor", L"C:\\A\\p.exe");
    m.AddFile(L"C:\\A\\a.exe");
    for (int count = in.Below(3); count > 0; --count) {
        const std::wstring key = in.Text(6);
        AddApplication(m, key.empty() ? L"k" : key, in.Bool() ? in.Pick(kWords) : in.Text(12),
                       in.Bool() ? L"C:\\A\\p.exe" : L"C:\\B\\p.exe");
        if (in.Bool())
            m.SetDword(os::Hive::CurrentUser, L"SOFTWARE\\Quorl\\" + key + L"\\Quorl Vandrel\\Preferences",
                       L"DefaultFlag", in.Number<std::uint32_t>());
    }
    m.SetSelf(L"C:\\A\\qelboot.exe");
    for (int others = in.Below(3); others > 0; --others) {
        const std::uint32_t id = m.AddProcess(L"C:\\A\\qelboot.exe");
        if (in.Bool())
            m.AddWindow(id, L"Quorl Vandrel Boot");
    }
    std::vector<std::wstring> arguments{L"C:\\A\\qelboot.exe"};
    for (int count = in.Below(6); count > 0; --count)
        arguments.push_back(in.Bool() ? in.Pick(kWords) : in.Text(40));
    m.SetCommandLine(arguments);
    m.FailSeamCall(in.Bool() && in.Bool() ? 1 : 0, sim::Machine::FaultKind::Error); // splitting it

    CQELBootCommandHandler handler;
    std::vector<std::wstring> words;
    handler.ParseCommandLineParameter(words);
    FUZZ_CHECK(words.empty() || qel::boot::SameWord(words[0], L"-install") ||
               qel::boot::SameWord(words[0], L"-uninstall") ||
               (qel::boot::SameWord(words[0], L"-default") && words.size() == 3));
    const int exitCode = qel::boot::RunBootCommand(handler, words);
    // Only the named application can be a default afterwards (a hive without its Preferences key is skipped).
    if (exitCode == 0 && words.size() == 3 && qel::boot::SameWord(words[2], L"yes")) {
        std::vector<appInfo_tag> defaults;
        handler.LoadInformation();
        handler.GetDefaultApplicationInfo(defaults);
        for (const auto& record : defaults)
            FUZZ_CHECK(record.name == words[1]);
    }
    return 0;
}
