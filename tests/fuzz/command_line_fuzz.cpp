// The boot executable's command line, split into any words, handled as qelboot.exe handles it.
#include "fuzz_input.h"
#include "hosts/boot_command.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const wchar_t* const kWords[] = {L"-install", L"-UNINSTALL", L"-default", L"-Default",
                                            L"yes",      L"NO",         L"App",      L"app",
                                            L"Anchor",   L"",           L"-i",       L"maybe"};
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    fuzz::AddAnchor(m);
    for (int count = in.Below(3); count > 0; --count) {
        const std::wstring key = in.Text(6);
        fuzz::AddApplication(m, key.empty() ? L"k" : key, in.Likely(kWords, 12),
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
        arguments.push_back(in.Likely(kWords, 40));
    m.SetCommandLine(arguments);
    m.FailCommandLineSplit(in.Bool() && in.Bool());

    CQELBootCommandHandler handler;
    std::vector<std::wstring> words;
    handler.ParseCommandLineParameter(words);
    const auto is = [&words](std::size_t at, const wchar_t* word) { return boot::SameWord(words[at], word); };
    FUZZ_CHECK(words.empty() || is(0, L"-install") || is(0, L"-uninstall") ||
               (is(0, L"-default") && words.size() == 3));
    // Only the named application can be a default afterwards (a hive without its Preferences key is skipped).
    if (boot::RunBootCommand(handler, words) == 0 && words.size() == 3 && is(2, L"yes")) {
        std::vector<appInfo_tag> defaults;
        handler.LoadInformation();
        handler.GetDefaultApplicationInfo(defaults);
        for (const auto& record : defaults)
            FUZZ_CHECK(record.name == words[1]);
    }
    return 0;
}
