#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tavrolin {

// What the program was started with. The paths are as given (the caller makes them full);
// `error` is empty when the arguments make sense.
struct CommandLine {
  std::vector<std::wstring> paths;
  bool exportMode = false;    // /export: unattended, then the program ends with an exit code
  bool skipExisting = false;  // /skip-existing
  bool usage = false;         // /?
  std::wstring reportFile;    // /report:FILE
  std::wstring listFile;      // /list:FILE
  std::wstring outFolder;     // /out:DIR; empty: each PDF beside its document
  bool viaWord = false;       // /via:word: Word's own PDF export instead of the printer
  bool pdfa = false;          // /pdfa, with /via:word only
  bool markup = false;        // /markup, with /via:word only
  std::wstring error;
};

// The arguments after the program's name, already split by the platform's rules. A switch
// starts with "/" or "-" ("--export" too) and is matched in any letter case; everything else
// is a path. "--" ends the switches, for a path that starts with "-".
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// Whether a process's whole command line holds more than the program's name (which ends at its
// closing quote, or else at the first space or tab), so that a plain start splits nothing.
bool HasArguments(const std::wstring& commandLine);

// The usage, for "/?" and after a bad switch.
std::wstring UsageText();

// UTF-8 to and from the program's wide strings; a sequence that is not UTF-8 becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& bytes);

// The paths a second start hands to the open window: each ended by a NUL, in order.
std::wstring EncodeHandedPaths(const std::vector<std::wstring>& paths);
// The receiver's side: nullopt unless `chars` characters hold exactly such a list.
std::optional<std::vector<std::wstring>> DecodeHandedPaths(const wchar_t* data, std::size_t chars);

}  // namespace tavrolin
