#include "document_text.h"

#include <windows.h>

#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <cwctype>

#include <zlib.h>

#include "testbed/client/utf8.h"

namespace tavrolin::testbed {
namespace {

constexpr size_t kMaxDocumentBytes = 64 * 1024 * 1024;

// Raw deflate data (a zip entry's) to bytes; false on malformed data or when more than `limit`
// bytes would come out.
bool Inflate(const std::string& compressed, std::string& out, size_t limit) {
  out.assign(limit, '\0');
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(limit);
  const int result = inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

// As much of a deflate stream cut short as comes out before the cut.
std::string InflateUpToCut(const std::string& compressed, size_t limit) {
  std::string out(limit, '\0');
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return {};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(limit);
  inflate(&stream, Z_SYNC_FLUSH);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

// One code point (at most U+10FFFF) appended as UTF-8.
void AppendCodePoint(std::string& out, unsigned long code) {
  std::wstring unit;
  if (code >= 0x10000) {
    code -= 0x10000;
    unit += static_cast<wchar_t>(0xd800 + (code >> 10));
    unit += static_cast<wchar_t>(0xdc00 + (code & 0x3ff));
  } else {
    unit += static_cast<wchar_t>(code);
  }
  out += ToUtf8(unit);
}

uint32_t Le16(const std::string& s, size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t Le32(const std::string& s, size_t at) { return Le16(s, at) | (Le16(s, at + 2) << 16); }

std::wstring Utf8ToWide(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

bool ValidUtf8(const std::string& text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr,
                             0) > 0;
}

std::string DecodeEntities(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    size_t end = s.find(';', i);
    if (end == std::string::npos) {
      out += s[i];
      continue;
    }
    std::string name = s.substr(i + 1, end - i - 1);
    unsigned long code = 0;
    if (name == "amp") code = '&';
    else if (name == "lt") code = '<';
    else if (name == "gt") code = '>';
    else if (name == "quot") code = '"';
    else if (name == "apos") code = '\'';
    else if (!name.empty() && name[0] == '#')
      code = name.size() > 1 && (name[1] == 'x' || name[1] == 'X') ? std::strtoul(name.c_str() + 2, nullptr, 16)
                                                                   : std::strtoul(name.c_str() + 1, nullptr, 10);
    if (code == 0 || code > 0x10ffff) {
      out += s[i];
      continue;
    }
    // Re-encode as UTF-8 so the whole paragraph converts in one go.
    AppendCodePoint(out, code);
    i = end;
  }
  return out;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.push_back(line);
      line.clear();
      continue;
    }
    line += c == L'\t' ? L' ' : c;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The value of attribute `name` in a start tag's text, entities left as they are.
std::string Attribute(const std::string& tag, const std::string& name) {
  const std::string key = " " + name + "=";
  size_t at = tag.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  if (at >= tag.size() || (tag[at] != '"' && tag[at] != '\'')) return {};
  const size_t end = tag.find(tag[at], at + 1);
  return end == std::string::npos ? std::string() : tag.substr(at + 1, end - at - 1);
}

int Level(const std::string& value) {
  if (value.empty() || value.size() > 2 || !std::isdigit(static_cast<unsigned char>(value[0]))) return -1;
  return std::atoi(value.c_str());
}


}  // namespace

bool ReadZipEntry(const std::string& zip, const std::string& name, std::string& out) {
  if (zip.size() < 22) return false;
  // The end record sits in the last 64 KiB + 22 bytes (its comment is at most 64 KiB).
  size_t lowest = zip.size() > 65557 ? zip.size() - 65557 : 0;
  size_t end = std::string::npos;
  for (size_t i = zip.size() - 22 + 1; i-- > lowest;) {
    if (Le32(zip, i) == 0x06054b50) {
      end = i;
      break;
    }
  }
  if (end == std::string::npos) return false;
  uint32_t entries = Le16(zip, end + 10);
  size_t at = Le32(zip, end + 16);
  for (uint32_t e = 0; e < entries; ++e) {
    if (at + 46 > zip.size() || Le32(zip, at) != 0x02014b50) return false;
    uint32_t method = Le16(zip, at + 10);
    uint32_t compressedSize = Le32(zip, at + 20);
    uint32_t size = Le32(zip, at + 24);
    uint32_t nameLength = Le16(zip, at + 28);
    uint32_t extraLength = Le16(zip, at + 30);
    uint32_t commentLength = Le16(zip, at + 32);
    uint32_t local = Le32(zip, at + 42);
    if (at + 46 + nameLength > zip.size()) return false;
    std::string entryName = zip.substr(at + 46, nameLength);
    at += 46 + nameLength + extraLength + commentLength;
    if (entryName != name) continue;
    if (local + 30 > zip.size() || Le32(zip, local) != 0x04034b50) return false;
    size_t data = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
    if (data + compressedSize > zip.size() || size > kMaxDocumentBytes) return false;
    std::string raw = zip.substr(data, compressedSize);
    if (method == 0) {
      out = raw;
      return true;
    }
    if (method == 8) return Inflate(raw, out, size);
    return false;
  }
  return false;
}

DocxPart ReadDocxPart(const std::string& bytes) {
  DocxPart part;
  if (bytes.size() < 4 || Le32(bytes, 0) != 0x04034b50) return part;
  static const std::string kName = "word/document.xml";
  if (ReadZipEntry(bytes, kName, part.xml)) {
    part.found = true;
    // A part cut short inside an intact package ends before its root element does.
    static const std::string kEnd = "</w:document>";
    const size_t end = part.xml.find_last_not_of(" \t\r\n") + 1;
    part.whole = end >= kEnd.size() && part.xml.compare(end - kEnd.size(), kEnd.size(), kEnd) == 0;
    return part;
  }
  // No central directory: the part's local header, and its data up to the end of the file.
  for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos; at = bytes.find("PK\x03\x04", at + 4)) {
    if (at + 30 > bytes.size()) break;
    const size_t nameLength = Le16(bytes, at + 26);
    if (nameLength != kName.size() || bytes.compare(at + 30, nameLength, kName) != 0) continue;
    const size_t data = at + 30 + nameLength + Le16(bytes, at + 28);
    if (data > bytes.size()) break;
    const uint32_t method = Le16(bytes, at + 8);
    const std::string raw = bytes.substr(data);
    if (method == 0) part.xml = raw;
    else if (method == 8) part.xml = InflateUpToCut(raw, kMaxDocumentBytes);
    else break;
    part.found = true;
    return part;
  }
  return part;
}

bool HasAskingField(const std::string& xml) {
  std::vector<std::string> codes;
  for (size_t i = xml.find("<w:instrText"); i != std::string::npos; i = xml.find("<w:instrText", i + 1)) {
    const size_t open = xml.find('>', i);
    const size_t close = xml.find("</w:instrText>", i);
    if (open == std::string::npos || close == std::string::npos || open > close) continue;
    codes.push_back(xml.substr(open + 1, close - open - 1));
  }
  for (size_t i = xml.find("<w:fldSimple"); i != std::string::npos; i = xml.find("<w:fldSimple", i + 1)) {
    const size_t attribute = xml.find("w:instr=\"", i);
    const size_t end = xml.find('>', i);
    if (attribute == std::string::npos || attribute > end) continue;
    const size_t close = xml.find('"', attribute + 9);
    if (close != std::string::npos) codes.push_back(xml.substr(attribute + 9, close - attribute - 9));
  }
  // The field's type is the first word of its code, in any case.
  for (auto code : codes) {
    const size_t first = code.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    std::string type = code.substr(first, code.find_first_of(" \t\\", first) - first);
    for (auto& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (type == "FILLIN" || type == "ASK") return true;
  }
  return false;
}

bool ReadWholeFile(const std::wstring& path, std::string& out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= static_cast<LONGLONG>(kMaxDocumentBytes);
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
  }
  CloseHandle(file);
  return ok;
}

std::vector<DocxParagraph> ReadDocxParagraphs(const std::string& xml) {
  std::vector<DocxParagraph> paragraphs;
  DocxParagraph paragraph;
  std::string text;  // UTF-8, entities decoded
  bool inParagraph = false;
  bool inProperties = false;
  int inChange = 0;  // inside w:pPrChange: the properties before a tracked change
  size_t linkStart = 0;
  std::string linkId;
  const auto finish = [&] {
    // Offsets were taken in UTF-8 bytes; the text is kept in UTF-16.
    for (auto& link : paragraph.links) {
      const size_t begin = Utf8ToWide(text.substr(0, link.start)).size();
      link.length = Utf8ToWide(text.substr(0, link.start + link.length)).size() - begin;
      link.start = begin;
    }
    paragraph.text = Utf8ToWide(text);
    paragraphs.push_back(std::move(paragraph));
    paragraph = DocxParagraph{};
    text.clear();
  };
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string::npos) {
    size_t close = xml.find('>', i);
    if (close == std::string::npos) break;
    std::string tag = xml.substr(i + 1, close - i - 1);
    std::string tagName = tag.substr(0, tag.find_first_of(" /", 1));
    const bool empty = !tag.empty() && tag.back() == '/';
    i = close + 1;
    if (tagName == "w:p") {
      inParagraph = true;
      paragraph = DocxParagraph{};
      text.clear();
      if (empty) {
        finish();
        inParagraph = false;
      }
    } else if (tagName == "/w:p") {
      if (inParagraph) finish();
      inParagraph = false;
    } else if (!inParagraph) {
      continue;
    } else if (tagName == "w:pPr") {
      inProperties = !empty;
    } else if (tagName == "/w:pPr") {
      inProperties = false;
    } else if (tagName == "w:pPrChange") {
      if (!empty) ++inChange;
    } else if (tagName == "/w:pPrChange") {
      if (inChange) --inChange;
    } else if (inProperties && !inChange && tagName == "w:pStyle") {
      paragraph.style = Attribute(tag, "w:val");
    } else if (inProperties && !inChange && tagName == "w:outlineLvl") {
      paragraph.outlineLevel = Level(Attribute(tag, "w:val"));
    } else if (tagName == "w:hyperlink" && !empty) {
      linkId = Attribute(tag, "r:id");
      linkStart = text.size();
    } else if (tagName == "/w:hyperlink") {
      if (!linkId.empty() && text.size() > linkStart) paragraph.links.push_back({linkStart, text.size() - linkStart, linkId});
      linkId.clear();
    } else if (tagName == "w:commentReference") {
      paragraph.comments.push_back(Attribute(tag, "w:id"));
    } else if (tagName == "w:t" && !empty) {
      size_t endText = xml.find("</w:t>", i);
      if (endText == std::string::npos) break;
      text += DecodeEntities(xml.substr(i, endText - i));
      i = endText + 6;
    } else if (tagName == "w:tab") {
      text += ' ';
    } else if (tagName == "w:br" || tagName == "w:cr") {
      text += '\v';
    }
  }
  return paragraphs;
}

std::vector<std::wstring> DocxParagraphs(const std::string& xml) {
  std::vector<std::wstring> paragraphs;
  for (const auto& p : ReadDocxParagraphs(xml)) {
    size_t from = 0;
    for (size_t at; (at = p.text.find(kLineBreak, from)) != std::wstring::npos; from = at + 1) {
      paragraphs.push_back(p.text.substr(from, at - from));
    }
    paragraphs.push_back(p.text.substr(from));
  }
  return paragraphs;
}

std::map<std::string, int> StyleOutlineLevels(const std::string& xml) {
  struct Style {
    std::string basedOn;
    int level = -1;
  };
  std::map<std::string, Style> styles;
  std::string defaultStyle;
  for (size_t at = xml.find("<w:style "); at != std::string::npos; at = xml.find("<w:style ", at + 1)) {
    const size_t open = xml.find('>', at);
    if (open == std::string::npos) break;
    const std::string head = xml.substr(at, open - at);
    if (Attribute(head, "w:type") != "paragraph") continue;
    const size_t end = head.back() == '/' ? open : xml.find("</w:style>", open);
    const std::string body = xml.substr(open, (end == std::string::npos ? xml.size() : end) - open);
    Style style;
    for (size_t t = body.find('<'); t != std::string::npos; t = body.find('<', t + 1)) {
      const size_t gt = body.find('>', t);
      if (gt == std::string::npos) break;
      const std::string tag = body.substr(t, gt - t);
      if (tag.rfind("<w:basedOn", 0) == 0) style.basedOn = Attribute(tag, "w:val");
      if (tag.rfind("<w:outlineLvl", 0) == 0) style.level = Level(Attribute(tag, "w:val"));
    }
    const std::string id = Attribute(head, "w:styleId");
    if (Attribute(head, "w:default") == "1" || Attribute(head, "w:default") == "true") defaultStyle = id;
    styles[id] = style;
  }
  std::map<std::string, int> levels;
  for (const auto& [id, style] : styles) {
    // A style's own level wins over the one it is based on; a loop of w:basedOn ends the search.
    const Style* s = &style;
    for (int steps = 0; s && s->level < 0 && !s->basedOn.empty() && steps < 32; ++steps) {
      const auto base = styles.find(s->basedOn);
      s = base == styles.end() ? nullptr : &base->second;
    }
    if (s && s->level >= 0 && s->level <= 8) levels[id] = s->level;
  }
  if (const auto d = levels.find(defaultStyle); !defaultStyle.empty() && d != levels.end()) levels[""] = d->second;
  return levels;
}

std::map<std::string, std::wstring> ExternalTargets(const std::string& xml) {
  std::map<std::string, std::wstring> targets;
  for (size_t at = xml.find("<Relationship "); at != std::string::npos; at = xml.find("<Relationship ", at + 1)) {
    const size_t end = xml.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = xml.substr(at, end - at);
    if (Attribute(tag, "TargetMode") != "External") continue;
    targets[Attribute(tag, "Id")] = Utf8ToWide(DecodeEntities(Attribute(tag, "Target")));
  }
  return targets;
}

std::map<std::string, DocxComment> ReadComments(const std::string& xml) {
  std::map<std::string, DocxComment> comments;
  for (size_t at = xml.find("<w:comment "); at != std::string::npos; at = xml.find("<w:comment ", at + 1)) {
    const size_t open = xml.find('>', at);
    const size_t end = open == std::string::npos ? open : xml.find("</w:comment>", open);
    if (end == std::string::npos) break;
    const std::string head = xml.substr(at, open - at);
    DocxComment comment;
    comment.author = Utf8ToWide(DecodeEntities(Attribute(head, "w:author")));
    for (const auto& line : DocxParagraphs(xml.substr(open + 1, end - open - 1))) {
      comment.text += (comment.text.empty() ? L"" : L" ") + line;
    }
    comments[Attribute(head, "w:id")] = comment;
  }
  return comments;
}

std::vector<std::wstring> DocumentParagraphs(const std::wstring& path, bool& readable) {
  readable = false;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return {};
  if (bytes.size() >= 4 && Le32(bytes, 0) == 0x04034b50) {
    const DocxPart part = ReadDocxPart(bytes);
    readable = part.found;
    return part.found ? DocxParagraphs(part.xml) : std::vector<std::wstring>{};
  }
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff && static_cast<unsigned char>(bytes[1]) == 0xfe) {
    readable = true;
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return SplitLines(text);
  }
  // Anything else with NUL bytes is a binary format the stand-in does not understand.
  if (bytes.find('\0') != std::string::npos) return {};
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  readable = true;
  return SplitLines(Utf8ToWide(bytes, ValidUtf8(bytes) ? CP_UTF8 : 1252));
}

}  // namespace tavrolin::testbed
