#include "common/command_line.h"

#include <cwctype>

namespace tavrolin {
namespace {

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

bool IsSwitch(const std::wstring& argument) {
  return argument.size() > 1 && (argument[0] == L'/' || argument[0] == L'-');
}

// "/name:value", "-name:value" or "--name:value": the name in lower case and the value.
void SplitSwitch(const std::wstring& argument, std::wstring& name, std::optional<std::wstring>& value) {
  std::size_t start = 1;
  if (argument.size() > 2 && argument[0] == L'-' && argument[1] == L'-') start = 2;
  const std::size_t colon = argument.find(L':', start);
  name = Lower(argument.substr(start, colon == std::wstring::npos ? std::wstring::npos : colon - start));
  if (colon != std::wstring::npos) value = argument.substr(colon + 1);
}

bool TakeFile(const std::wstring& name, const std::optional<std::wstring>& value, std::wstring& into,
              std::wstring& error) {
  if (!value || value->empty()) {
    error = L"The switch /" + name + L" needs a file name: /" + name + L":FILE.";
  } else if (!into.empty()) {
    error = L"The switch /" + name + L" is given twice.";
  } else {
    into = *value;
  }
  return error.empty();
}

// Code points out of a wide string: UTF-16 where wchar_t has 16 bits, UTF-32 elsewhere.
template <typename Emit>
void ForEachCodePoint(const std::wstring& text, Emit&& emit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
        const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    emit(c);
  }
}

void AppendCodePoint(std::wstring& out, char32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    return;
  }
  out += static_cast<wchar_t>(c);
}

}  // namespace

namespace {

// One switch into `result`; its error there when it makes no sense.
void TakeSwitch(const std::wstring& argument, CommandLine& result) {
  std::wstring name;
  std::optional<std::wstring> value;
  SplitSwitch(argument, name, value);
  const bool takesValue = name == L"report" || name == L"list" || name == L"out" || name == L"via";
  if (value && !takesValue) {
    result.error = L"The switch " + argument + L" takes no value.";
  } else if (name == L"export") {
    result.exportMode = true;
  } else if (name == L"skip-existing") {
    result.skipExisting = true;
  } else if (name == L"?" || name == L"h" || name == L"help") {
    result.usage = true;
  } else if (name == L"report") {
    TakeFile(name, value, result.reportFile, result.error);
  } else if (name == L"list") {
    TakeFile(name, value, result.listFile, result.error);
  } else if (name == L"out") {
    if (value && value->empty()) value.reset();
    if (!value) result.error = L"The switch /out needs a folder: /out:DIR.";
    else TakeFile(name, value, result.outFolder, result.error);
  } else if (name == L"via") {
    const std::wstring road = value ? Lower(*value) : L"";
    if (road != L"printer" && road != L"word") result.error = L"The switch /via is /via:printer or /via:word.";
    result.viaWord = road == L"word";
  } else if (name == L"pdfa") {
    result.pdfa = true;
  } else if (name == L"markup") {
    result.markup = true;
  } else {
    result.error = L"Unknown switch: " + argument;
  }
}

// What one switch means only together with another.
std::wstring Mismatch(const CommandLine& line) {
  if ((line.pdfa || line.markup) && !line.viaWord) {
    return std::wstring(L"The switch ") + (line.pdfa ? L"/pdfa" : L"/markup") + L" works only with /via:word.";
  }
  // Only an unattended run reports, skips or exports a certain way: alone they would do nothing.
  if (line.exportMode || line.usage) return {};
  if (!line.reportFile.empty()) return L"The switch /report works only with /export.";
  if (line.skipExisting) return L"The switch /skip-existing works only with /export.";
  if (line.viaWord) return L"The switch /via works only with /export.";
  if (!line.outFolder.empty()) return L"The switch /out works only with /export.";
  return {};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
  CommandLine result;
  bool switchesEnded = false;
  for (const auto& argument : arguments) {
    if (argument.empty()) continue;
    if (switchesEnded || !IsSwitch(argument)) {
      result.paths.push_back(argument);
      continue;
    }
    if (argument == L"--") {
      switchesEnded = true;
      continue;
    }
    if (!result.error.empty()) {
      // Past a refused switch only the report is still looked for: the script reads why there.
      std::wstring name;
      std::optional<std::wstring> value;
      SplitSwitch(argument, name, value);
      std::wstring ignored;
      if (name == L"report") TakeFile(name, value, result.reportFile, ignored);
      continue;
    }
    TakeSwitch(argument, result);
  }
  if (result.error.empty()) result.error = Mismatch(result);
  return result;
}

bool HasArguments(const std::wstring& commandLine) {
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    end = commandLine.find(L'"', 1);
    end = end == std::wstring::npos ? commandLine.size() : end + 1;
  } else {
    end = commandLine.find_first_of(L" \t");
    if (end == std::wstring::npos) end = commandLine.size();
  }
  return commandLine.find_first_not_of(L" \t", end) != std::wstring::npos;
}

std::wstring UsageText() {
  return L"Usage: tavrolin.exe [/export [/report:FILE] [/skip-existing] [/out:DIR]\n"
         L"                     [/via:printer | /via:word [/pdfa] [/markup]]] [/list:FILE] [PATH...]\n"
         L"\n"
         L"PATH...  documents (and folders) added to the list, as a drop adds them.\n"
         L"/list:FILE  more paths, from a text file, one a line (UTF-16 or UTF-8, else the\n"
         L"    ANSI code page; quotes removed; relative to the list's folder); a report of an\n"
         L"    earlier run gives the documents that failed in it.\n"
         L"/export  exports the list at once, unattended: no message is shown, a document that\n"
         L"    fails does not stop the run, and the program ends by itself.\n"
         L"/report:FILE  writes a line per document (exported, skipped or failed, seconds,\n"
         L"    path, and for a failure the step and the reason) and a totals line, in UTF-8.\n"
         L"/skip-existing  skips a document whose PDF exists and is newer than it (where /out\n"
         L"    would write it).\n"
         L"/out:DIR  writes the PDFs into DIR, each at its document's path below the folder\n"
         L"    the documents share (below \"C\" or \"server\\share\" when they lie on several);\n"
         L"    without it each PDF is written beside its document.\n"
         L"/via:printer  prints on \"PDF Printer\" (the default).\n"
         L"/via:word  Word's own PDF export: links, bookmarks from headings and tags for screen\n"
         L"    readers; no printer is needed.\n"
         L"/pdfa  with /via:word: PDF/A for archiving.\n"
         L"/markup  with /via:word: comments and tracked changes shown.\n"
         L"\n"
         L"Exit codes of /export:\n"
         L"0  every document exported or skipped\n"
         L"1  some documents failed\n"
         L"2  every document failed\n"
         L"3  a bad command line, an unreadable list or report file, or no document\n"
         L"4  Word is not registered for automation, there is no interactive desktop, or Word\n"
         L"    refused the printer \"PDF Printer\" before any document was\n"
         L"    exported (the run stops there; /via:word needs no printer)\n"
         L"5  stopped by the user, or the window was closed\n"
         L"\n"
         L"Without /export, paths go to the Tavrolin window that is already open, if any.";
}

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  ForEachCodePoint(text, [&](char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  });
  return out;
}

std::wstring FromUtf8(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int more = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    char32_t c = more == 0 ? lead : more == 1 ? lead & 0x1F : more == 2 ? lead & 0x0F : lead & 0x07;
    std::size_t next = i + 1;
    for (int k = 0; k < more; ++k, ++next) {
      if (next >= bytes.size() || (static_cast<unsigned char>(bytes[next]) & 0xC0) != 0x80) {
        more = -1;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(bytes[next]) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8 either.
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (more < 0 || c < kLeast[more] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
      out += L'\xFFFD';
      i = more < 0 && next == i + 1 ? i + 1 : next;
      continue;
    }
    AppendCodePoint(out, c);
    i = next;
  }
  return out;
}

std::wstring EncodeHandedPaths(const std::vector<std::wstring>& paths) {
  std::wstring data;
  for (const auto& path : paths) {
    data += path;
    data += L'\0';
  }
  return data;
}

std::optional<std::vector<std::wstring>> DecodeHandedPaths(const wchar_t* data, std::size_t chars) {
  if (!data || chars == 0 || data[chars - 1] != L'\0') return std::nullopt;
  std::vector<std::wstring> paths;
  for (std::size_t start = 0; start < chars;) {
    std::size_t end = start;
    while (data[end] != L'\0') ++end;
    if (end == start) return std::nullopt;  // an empty path is not what a second start sends
    paths.emplace_back(data + start, end - start);
    start = end + 1;
  }
  return paths;
}

}  // namespace tavrolin
