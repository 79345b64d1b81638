#include "host_runner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qel::testhost {
namespace {

std::string Normalize(const std::string& raw) {
    std::string text = raw;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

} // namespace

std::wstring BinDir() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length);
    return program.substr(0, program.find_last_of(L'\\'));
}

std::wstring BinPath(const std::wstring& file) { return BinDir() + L"\\" + file; }

RunningHost::RunningHost(const std::wstring& program, const std::wstring& arguments,
                         const std::wstring& currentDirectory) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    for (const auto& [read, write] :
         {std::pair{&outputRead_, &startup.hStdOutput}, {&errorRead_, &startup.hStdError}}) {
        ::CreatePipe(read, write, &inherit, 0);
        ::SetHandleInformation(*read, HANDLE_FLAG_INHERIT, 0);
    }
    std::wstring commandLine = CommandLine(BinPath(program), arguments);
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          (currentDirectory.empty() ? BinDir() : currentDirectory).c_str(), &startup, &info_))
        info_ = {};
    ::CloseHandle(startup.hStdOutput);
    ::CloseHandle(startup.hStdError);
}

RunningHost::~RunningHost() {
    if (IsRunning()) {
        ::TerminateProcess(info_.hProcess, 1);
        ::WaitForSingleObject(info_.hProcess, 5000);
    }
    for (HANDLE handle : {info_.hProcess, info_.hThread, outputRead_, errorRead_}) {
        if (handle)
            ::CloseHandle(handle);
    }
}

bool RunningHost::WaitForExit(DWORD timeoutMs) {
    return info_.hProcess && ::WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool RunningHost::IsRunning() const {
    return info_.hProcess && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD RunningHost::ExitCode() const {
    DWORD code = 0xFFFFFFFF;
    if (info_.hProcess)
        ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

std::string RunningHost::Drain(HANDLE& pipe, std::string& text) {
    if (pipe) {
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
            text.append(buffer, read);
        ::CloseHandle(pipe);
        pipe = nullptr;
    }
    return Normalize(text);
}

std::string RunningHost::Output() { return IsRunning() ? std::string() : Drain(outputRead_, output_); }

std::string RunningHost::Errors() { return IsRunning() ? std::string() : Drain(errorRead_, errors_); }

RunResult Run(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs) {
    RunningHost host(program, arguments);
    // The hosts write a few lines only, well within what the pipe holds until they end.
    if (!host.WaitForExit(timeoutMs))
        return {};
    RunResult result{host.ExitCode(), host.Output(), host.Errors(), {}};
    std::istringstream stream(result.output);
    for (std::string line; std::getline(stream, line);)
        result.lines.push_back(line);
    return result;
}

RunResult RunRecordingDebugLines(const std::wstring& program, const std::wstring& arguments,
                                 DWORD timeoutMs) {
    return Run(L"dbgrec.exe", CommandLine(BinPath(program), arguments), timeoutMs);
}

std::wstring CommandLine(const std::wstring& path, const std::wstring& arguments) {
    return Quoted(path) + (arguments.empty() ? L"" : L" " + arguments);
}

bool WaitForWindow(const wchar_t* title, DWORD timeoutMs) {
    return WaitUntil([title] { return ::FindWindowW(nullptr, title) != nullptr; }, timeoutMs);
}

bool WaitForFile(const std::wstring& path, bool exists) {
    return WaitUntil(
        [&] { return (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists; });
}

std::string StartedApp(DWORD timeoutMs) {
    const std::wstring file = BinPath(L"qelapp-started.txt");
    WaitUntil([&file] { return !ReadTextFile(file).empty(); }, timeoutMs);
    return ReadTextFile(file);
}

void SetWindowsVersion(const wchar_t* program, const wchar_t* version) {
    SetString(HKEY_CURRENT_USER, std::wstring(L"Software\\Wine\\AppDefaults\\") + program, L"Version",
              version);
}

void ResetRegistrations() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorl");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Quorl");
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Quorl Vandrel");
    ::DeleteFileW(BinPath(L"qelapp-started.txt").c_str());
    for (const wchar_t* host : {L"qelproxy.exe", L"stiproxy.exe", L"unload_host.exe", L"c_host.exe"})
        ::RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Wine\\AppDefaults\\") + host).c_str());
}

void CreateKey(HKEY hive, const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        ::RegCloseKey(key);
}

void SetString(HKEY hive, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    ::RegSetKeyValueW(hive, path.c_str(), name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD value) {
    ::RegSetKeyValueW(hive, path.c_str(), name, REG_DWORD, &value, sizeof value);
}

bool ReadString(HKEY hive, const std::wstring& path, const wchar_t* name, std::wstring* text) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (::RegGetValueW(hive, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    *text = buffer;
    return true;
}

bool ReadDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD* value) {
    DWORD size = sizeof *value;
    return ::RegGetValueW(hive, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
}

void Register(const std::wstring& folder, const std::wstring& name, const std::wstring& proxyPath,
              const std::wstring& cmdLine) {
    const std::wstring keyPath = L"SOFTWARE\\Quorl\\" + folder + L"\\Quorl Vandrel";
    SetString(HKEY_LOCAL_MACHINE, keyPath, L"Name", name);
    SetString(HKEY_LOCAL_MACHINE, keyPath, L"ProxyPath", proxyPath);
    SetString(HKEY_LOCAL_MACHINE, keyPath, L"CmdLine", cmdLine);
}

std::string ReadTextFile(const std::wstring& path) {
    std::ifstream file(std::string(path.begin(), path.end()), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return Normalize(text.str());
}

void WriteTextFile(const std::wstring& path, const std::string& text, bool append) {
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string Miscounted(const std::string& text,
                       std::initializer_list<std::pair<std::string, std::size_t>> parts) {
    std::string wrong;
    for (const auto& [part, count] : parts) {
        if (Count(text, part) != count)
            wrong += part + " stands " + std::to_string(Count(text, part)) + " times, not " +
                     std::to_string(count) + "\n";
    }
    return wrong.empty() ? wrong : wrong + "in:\n" + text;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::string AppLine(const std::string& arguments) {
    return Utf8(Quoted(BinPath(L"qelapp.exe"))) + (arguments.empty() ? "" : " " + arguments);
}

std::string DirectLaunch(const std::string& devType, const std::string& devId) {
    return AppLine("module=vandrel params mode=direct devType=" + devType + " priDevId=\"" + devId + "\"\n");
}

std::wstring MakeRoad(const std::wstring& folder, const Layout& files) {
    const std::wstring road = BinPath(folder);
    std::filesystem::remove_all(road);
    std::filesystem::create_directories(road);
    for (const auto& [place, file] : files) {
        const std::filesystem::path target = road + L"\\" + place;
        std::filesystem::create_directories(target.parent_path());
        if (file.empty())
            WriteTextFile(target, "not a library\r\n");
        else
            std::filesystem::copy_file(BinPath(file), target);
    }
    return road;
}

} // namespace qel::testhost
