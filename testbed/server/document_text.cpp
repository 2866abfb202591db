#include "document_text.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>

#include "testbed/client/json.h"

namespace tavrolin::testbed {
namespace {

constexpr size_t kMaxDocumentBytes = 64 * 1024 * 1024;

// A small canonical-Huffman inflater after the classic "puff" design: slow but short.
class Inflater {
 public:
  Inflater(const std::string& in, std::string& out, size_t limit) : in_(in), out_(out), limit_(limit) {}

  bool Run() {
    int last = 0;
    do {
      int type = 0;
      if (!Bits(1, last) || !Bits(2, type)) return false;
      bool ok = type == 0 ? Stored() : type == 1 ? Fixed() : type == 2 ? Dynamic() : false;
      if (!ok) return false;
    } while (!last);
    return true;
  }

 private:
  struct Huffman {
    short count[16];
    short symbol[288];
  };

  bool Bits(int need, int& value) {
    uint32_t buffer = bitBuffer_;
    while (bitCount_ < need) {
      if (pos_ >= in_.size()) return false;
      buffer |= static_cast<uint32_t>(static_cast<unsigned char>(in_[pos_++])) << bitCount_;
      bitCount_ += 8;
    }
    bitBuffer_ = buffer >> need;
    bitCount_ -= need;
    value = static_cast<int>(buffer & ((1u << need) - 1));
    return true;
  }

  bool Put(char c) {
    if (out_.size() >= limit_) return false;
    out_.push_back(c);
    return true;
  }

  bool Stored() {
    bitBuffer_ = 0;
    bitCount_ = 0;
    if (pos_ + 4 > in_.size()) return false;
    auto byte = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(in_[i])); };
    unsigned len = byte(pos_) | (byte(pos_ + 1) << 8);
    unsigned nlen = byte(pos_ + 2) | (byte(pos_ + 3) << 8);
    pos_ += 4;
    if (len != (~nlen & 0xffff) || pos_ + len > in_.size()) return false;
    for (unsigned i = 0; i < len; ++i) {
      if (!Put(in_[pos_ + i])) return false;
    }
    pos_ += len;
    return true;
  }

  int Decode(const Huffman& h) {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
      int bit = 0;
      if (!Bits(1, bit)) return -1;
      code |= bit;
      int count = h.count[len];
      if (code - count < first) return h.symbol[index + (code - first)];
      index += count;
      first += count;
      first <<= 1;
      code <<= 1;
    }
    return -1;
  }

  // Returns 0 for a complete code, >0 for an incomplete one, <0 for an over-subscribed one.
  static int Construct(Huffman& h, const short* length, int n) {
    for (auto& c : h.count) c = 0;
    for (int s = 0; s < n; ++s) h.count[length[s]]++;
    if (h.count[0] == n) return 0;
    int left = 1;
    for (int len = 1; len <= 15; ++len) {
      left <<= 1;
      left -= h.count[len];
      if (left < 0) return left;
    }
    short offs[16];
    offs[1] = 0;
    for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<short>(offs[len] + h.count[len]);
    for (int s = 0; s < n; ++s) {
      if (length[s] != 0) h.symbol[offs[length[s]]++] = static_cast<short>(s);
    }
    return left;
  }

  bool Codes(const Huffman& lencode, const Huffman& distcode) {
    static const short kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const short kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const short kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const short kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    while (true) {
      int symbol = Decode(lencode);
      if (symbol < 0) return false;
      if (symbol < 256) {
        if (!Put(static_cast<char>(symbol))) return false;
        continue;
      }
      if (symbol == 256) return true;
      symbol -= 257;
      if (symbol >= 29) return false;
      int extra = 0;
      if (!Bits(kLengthExtra[symbol], extra)) return false;
      int len = kLengthBase[symbol] + extra;
      symbol = Decode(distcode);
      if (symbol < 0 || symbol >= 30) return false;
      if (!Bits(kDistExtra[symbol], extra)) return false;
      size_t dist = static_cast<size_t>(kDistBase[symbol] + extra);
      if (dist > out_.size()) return false;
      while (len--) {
        if (!Put(out_[out_.size() - dist])) return false;
      }
    }
  }

  bool Fixed() {
    short lengths[288 + 30];
    int s = 0;
    for (; s < 144; ++s) lengths[s] = 8;
    for (; s < 256; ++s) lengths[s] = 9;
    for (; s < 280; ++s) lengths[s] = 7;
    for (; s < 288; ++s) lengths[s] = 8;
    for (; s < 288 + 30; ++s) lengths[s] = 5;
    Huffman lencode, distcode;
    Construct(lencode, lengths, 288);
    Construct(distcode, lengths + 288, 30);
    return Codes(lencode, distcode);
  }

  bool Dynamic() {
    static const short kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int nlen = 0, ndist = 0, ncode = 0;
    if (!Bits(5, nlen) || !Bits(5, ndist) || !Bits(4, ncode)) return false;
    nlen += 257;
    ndist += 1;
    ncode += 4;
    if (nlen > 286 || ndist > 30) return false;
    short lengths[320] = {};
    for (int i = 0; i < ncode; ++i) {
      int v = 0;
      if (!Bits(3, v)) return false;
      lengths[kOrder[i]] = static_cast<short>(v);
    }
    Huffman lencode, distcode;
    if (Construct(lencode, lengths, 19) != 0) return false;
    int index = 0;
    while (index < nlen + ndist) {
      int symbol = Decode(lencode);
      if (symbol < 0) return false;
      if (symbol < 16) {
        lengths[index++] = static_cast<short>(symbol);
        continue;
      }
      short len = 0;
      int repeat = 0;
      if (symbol == 16) {
        if (index == 0 || !Bits(2, repeat)) return false;
        len = lengths[index - 1];
        repeat += 3;
      } else if (symbol == 17) {
        if (!Bits(3, repeat)) return false;
        repeat += 3;
      } else {
        if (!Bits(7, repeat)) return false;
        repeat += 11;
      }
      if (index + repeat > nlen + ndist) return false;
      while (repeat--) lengths[index++] = len;
    }
    if (lengths[256] == 0) return false;
    int err = Construct(lencode, lengths, nlen);
    if (err < 0 || (err > 0 && nlen - lencode.count[0] != 1)) return false;
    err = Construct(distcode, lengths + nlen, ndist);
    if (err < 0 || (err > 0 && ndist - distcode.count[0] != 1)) return false;
    return Codes(lencode, distcode);
  }

  const std::string& in_;
  std::string& out_;
  size_t limit_;
  size_t pos_ = 0;
  uint32_t bitBuffer_ = 0;
  int bitCount_ = 0;
};

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
    json::AppendUtf8(out, static_cast<unsigned>(code));
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

}  // namespace

bool Inflate(const std::string& compressed, std::string& out, size_t limit) {
  out.clear();
  return Inflater(compressed, out, limit).Run();
}

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

std::vector<std::wstring> DocxParagraphs(const std::string& xml) {
  std::vector<std::wstring> paragraphs;
  std::string paragraph;
  bool inParagraph = false;
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string::npos) {
    size_t close = xml.find('>', i);
    if (close == std::string::npos) break;
    std::string tag = xml.substr(i + 1, close - i - 1);
    std::string tagName = tag.substr(0, tag.find_first_of(" /", 1));
    i = close + 1;
    if (tagName == "w:p") {
      inParagraph = true;
      paragraph.clear();
      if (!tag.empty() && tag.back() == '/') {
        paragraphs.emplace_back();
        inParagraph = false;
      }
    } else if (tagName == "/w:p") {
      if (inParagraph) paragraphs.push_back(Utf8ToWide(DecodeEntities(paragraph)));
      inParagraph = false;
    } else if (tagName == "w:t" && (tag.empty() || tag.back() != '/')) {
      size_t endText = xml.find("</w:t>", i);
      if (endText == std::string::npos) break;
      paragraph += xml.substr(i, endText - i);
      i = endText + 6;
    } else if (tagName == "w:tab") {
      paragraph += ' ';
    } else if (tagName == "w:br" || tagName == "w:cr") {
      if (inParagraph) paragraphs.push_back(Utf8ToWide(DecodeEntities(paragraph)));
      paragraph.clear();
    }
  }
  return paragraphs;
}

std::vector<std::wstring> DocumentParagraphs(const std::wstring& path, bool& readable) {
  readable = false;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return {};
  if (bytes.size() >= 4 && Le32(bytes, 0) == 0x04034b50) {
    std::string xml;
    if (!ReadZipEntry(bytes, "word/document.xml", xml)) return {};
    readable = true;
    return DocxParagraphs(xml);
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
