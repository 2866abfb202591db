#include "pdf.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "testbed/client/utf8.h"

namespace tavrolin::testbed {
namespace {

constexpr int kLinesPerPage = 50;
constexpr size_t kWrapColumn = 88;
constexpr int kLeft = 72;
constexpr int kTop = 740;
constexpr int kLeading = 14;
constexpr int kFontSize = 10;

// Helvetica's advance widths (1/1000 em) for ' ' to '~', from its published font metrics; they
// place a link's box over its words.
constexpr short kHelveticaWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};

double Width(const std::string& bytes) {
  double units = 0;
  for (unsigned char c : bytes) units += c >= 32 && c <= 126 ? kHelveticaWidths[c - 32] : 556;
  return units * kFontSize / 1000.0;
}

// Helvetica's built-in WinAnsi encoding is cp1252; characters it lacks become '?'. One byte per
// UTF-16 unit keeps a link's place in its text.
std::string ToWinAnsi(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    char b = '?';
    if (c < 0x80) b = static_cast<char>(c);
    else if (WideCharToMultiByte(1252, 0, &c, 1, &b, 1, "?", nullptr) != 1) b = '?';
    out += b;
  }
  return out;
}

std::string PdfString(const std::string& bytes) {
  std::string out = "(";
  for (unsigned char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + ")";
}

std::string HexUtf16(const std::wstring& text) {
  std::string out = "<FEFF";
  char hex[8];
  for (wchar_t c : text) {
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
    out += hex;
  }
  return out + ">";
}

// A URI action's address is 7-bit: anything else goes percent-encoded as UTF-8.
std::string UriString(const std::wstring& uri) {
  std::string out;
  char hex[8];
  for (unsigned char c : ToUtf8(uri)) {
    if (c > 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return PdfString(out);
}

std::string XmlText(const std::wstring& text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

std::string Ref(int id) { return std::to_string(id) + " 0 R"; }

struct Piece {
  std::string text;
  size_t start;  // in the block's text
};

// Breaks at blanks where it can, hard at the column where it cannot.
std::vector<Piece> Wrap(const std::string& line, size_t offset) {
  std::vector<Piece> out;
  std::string rest = line;
  size_t at = offset;
  while (rest.size() > kWrapColumn) {
    size_t cut = rest.rfind(' ', kWrapColumn);
    if (cut == std::string::npos || cut == 0) cut = kWrapColumn;
    out.push_back({rest.substr(0, cut), at});
    rest = rest.substr(cut);
    at += cut;
    if (!rest.empty() && rest[0] == ' ') {
      rest.erase(0, 1);
      ++at;
    }
  }
  out.push_back({rest, at});
  return out;
}

struct Line {
  std::string text;
  size_t block;
  size_t start;
  int page = 0;
  int y = 0;  // baseline
};

std::uint64_t Fnv1a(const std::string& bytes, std::uint64_t hash) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

void PutBig(std::string& out, size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * (bytes - 1 - i))) & 0xff);
}

std::string Xmp(const std::wstring& title, const std::wstring& producer) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "<rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
         "<pdfaid:part>1</pdfaid:part>\n<pdfaid:conformance>B</pdfaid:conformance>\n</rdf:Description>\n"
         "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
         "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
         XmlText(title) +
         "</rdf:li></rdf:Alt></dc:title>\n</rdf:Description>\n"
         "<rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n<pdf:Producer>" +
         XmlText(producer) +
         "</pdf:Producer>\n</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

std::string Stream(const std::string& dictionary, const std::string& data) {
  return "<< " + dictionary + (dictionary.empty() ? "" : " ") + "/Length " + std::to_string(data.size()) +
         " >>\nstream\n" + data + "\nendstream";
}

}  // namespace

std::string SrgbLikeProfile() {
  // Header, tag table, then the tags' data, each on a 4-byte boundary; all big-endian.
  struct Tag {
    const char* signature;
    std::string data;
  };
  const auto xyz = [](double x, double y, double z) {
    std::string d(20, '\0');
    d.replace(0, 4, "XYZ ");
    PutBig(d, 8, static_cast<std::uint32_t>(x * 65536 + 0.5), 4);
    PutBig(d, 12, static_cast<std::uint32_t>(y * 65536 + 0.5), 4);
    PutBig(d, 16, static_cast<std::uint32_t>(z * 65536 + 0.5), 4);
    return d;
  };
  const std::string name = "sRGB-like, gamma 2.2";
  std::string desc(12, '\0');
  desc.replace(0, 4, "desc");
  PutBig(desc, 8, static_cast<std::uint32_t>(name.size() + 1), 4);
  desc += name + '\0';
  desc += std::string(4 + 4 + 2 + 1 + 67, '\0');  // no Unicode or ScriptCode description
  std::string copyright = std::string("text") + std::string(4, '\0') + "No copyright, use freely" + '\0';
  std::string curve(14, '\0');
  curve.replace(0, 4, "curv");
  PutBig(curve, 8, 1, 4);
  PutBig(curve, 12, 0x0233, 2);  // 2.2 as u8Fixed8
  const std::vector<Tag> tags = {
      {"desc", desc},
      {"cprt", copyright},
      {"wtpt", xyz(0.9642, 1.0, 0.8249)},
      {"rXYZ", xyz(0.4361, 0.2225, 0.0139)},
      {"gXYZ", xyz(0.3851, 0.7169, 0.0971)},
      {"bXYZ", xyz(0.1431, 0.0606, 0.7141)},
      {"rTRC", curve},
      {"gTRC", curve},
      {"bTRC", curve},
  };
  std::string table(4 + 12 * tags.size(), '\0');
  PutBig(table, 0, static_cast<std::uint32_t>(tags.size()), 4);
  std::string data;
  size_t offset = 128 + table.size();
  for (size_t i = 0; i < tags.size(); ++i) {
    table.replace(4 + 12 * i, 4, tags[i].signature);
    PutBig(table, 8 + 12 * i, static_cast<std::uint32_t>(offset + data.size()), 4);
    PutBig(table, 12 + 12 * i, static_cast<std::uint32_t>(tags[i].data.size()), 4);
    data += tags[i].data;
    data.resize((data.size() + 3) / 4 * 4, '\0');
  }
  std::string header(128, '\0');
  PutBig(header, 0, static_cast<std::uint32_t>(128 + table.size() + data.size()), 4);
  PutBig(header, 8, 0x02100000, 4);  // version 2.1
  header.replace(12, 4, "mntr");
  header.replace(16, 4, "RGB ");
  header.replace(20, 4, "XYZ ");
  PutBig(header, 24, 2020, 2);
  PutBig(header, 26, 1, 2);
  PutBig(header, 28, 1, 2);
  header.replace(36, 4, "acsp");
  PutBig(header, 68, 0x0000F6D6, 4);  // the D50 illuminant
  PutBig(header, 72, 0x00010000, 4);
  PutBig(header, 76, 0x0000D32D, 4);
  return header + table + data;
}

std::string MakePdf(const std::wstring& title, const std::vector<PdfBlock>& blocks, const PdfOptions& options) {
  std::vector<Line> lines;
  for (size_t b = 0; b < blocks.size(); ++b) {
    const std::string text = ToWinAnsi(blocks[b].text);
    size_t from = 0;
    while (true) {
      const size_t end = std::min(text.find('\v', from), text.size());
      for (auto& piece : Wrap(text.substr(from, end - from), from)) lines.push_back({std::move(piece.text), b, piece.start});
      if (end == text.size()) break;
      from = end + 1;
    }
  }
  const int pageCount = std::max<int>(1, static_cast<int>((lines.size() + kLinesPerPage - 1) / kLinesPerPage));
  for (size_t i = 0; i < lines.size(); ++i) {
    lines[i].page = static_cast<int>(i / kLinesPerPage);
    lines[i].y = kTop - static_cast<int>(i % kLinesPerPage) * kLeading;
  }

  // Objects: 1 catalog, 2 page tree, 3 font, 4 info, then a page and its content per page, then
  // what the options add.
  std::vector<std::string> objects(4 + 2 * pageCount);
  const auto add = [&](std::string object) {
    objects.push_back(std::move(object));
    return static_cast<int>(objects.size());
  };
  const auto reserve = [&] { return add({}); };
  const auto set = [&](int id, std::string object) { objects[id - 1] = std::move(object); };
  const auto pageId = [](int page) { return 5 + 2 * page; };

  // Links: a box over the link's words on the line where they begin.
  std::vector<std::vector<int>> annotations(pageCount);
  for (size_t b = 0; b < blocks.size(); ++b) {
    for (const auto& link : blocks[b].links) {
      for (const auto& line : lines) {
        if (line.block != b || link.start < line.start || link.start > line.start + line.text.size()) continue;
        const size_t offset = link.start - line.start;
        const size_t length = std::min(link.length, line.text.size() - offset);
        const double x = kLeft + Width(line.text.substr(0, offset));
        const double w = std::max(1.0, Width(line.text.substr(offset, length)));
        char rect[96];
        std::snprintf(rect, sizeof rect, "[%.2f %d %.2f %d]", x, line.y - 3, x + w, line.y + kFontSize);
        annotations[line.page].push_back(add("<< /Type /Annot /Subtype /Link /Rect " + std::string(rect) +
                                             " /Border [0 0 0] /F 4 /A << /S /URI /URI " + UriString(link.uri) +
                                             " >> >>"));
        break;
      }
    }
  }

  // Tags: one element per paragraph under a Document element, its lines marked with MCIDs.
  std::vector<int> elements(blocks.size());
  std::vector<std::vector<std::pair<int, int>>> marks(blocks.size());  // (page, MCID) of each line
  std::vector<std::vector<int>> parents(pageCount);                    // element of each MCID
  std::vector<std::string> contents(pageCount);
  for (int p = 0; p < pageCount; ++p) {
    contents[p] = "BT\n/F1 10 Tf\n" + std::to_string(kLeading) + " TL\n" + std::to_string(kLeft) + " " +
                  std::to_string(kTop) + " Td\n";
  }
  int structRoot = 0, document = 0;
  if (options.tagged) {
    structRoot = reserve();
    document = reserve();
    for (auto& e : elements) e = reserve();
  }
  const auto tagOf = [&](size_t b) {
    const int h = blocks[b].heading;
    return h > 0 ? "H" + std::to_string(std::min(h, 6)) : std::string("P");
  };
  for (const auto& line : lines) {
    std::string& content = contents[line.page];
    if (!options.tagged) {
      content += PdfString(line.text) + " Tj T*\n";
      continue;
    }
    const int mcid = static_cast<int>(parents[line.page].size());
    parents[line.page].push_back(elements[line.block]);
    marks[line.block].push_back({line.page, mcid});
    content += "/" + tagOf(line.block) + " <</MCID " + std::to_string(mcid) + ">> BDC " + PdfString(line.text) +
               " Tj EMC T*\n";
  }
  if (options.tagged) {
    std::string kids, nums;
    for (size_t b = 0; b < blocks.size(); ++b) {
      if (marks[b].empty()) continue;
      kids += Ref(elements[b]) + " ";
      std::string k;
      for (const auto& [page, mcid] : marks[b]) {
        k += "<< /Type /MCR /Pg " + Ref(pageId(page)) + " /MCID " + std::to_string(mcid) + " >> ";
      }
      set(elements[b], "<< /Type /StructElem /S /" + tagOf(b) + " /P " + Ref(document) + " /Pg " +
                           Ref(pageId(marks[b].front().first)) + " /K [" + k + "] >>");
    }
    for (size_t b = 0; b < blocks.size(); ++b) {
      if (marks[b].empty()) set(elements[b], "null");
    }
    for (int p = 0; p < pageCount; ++p) {
      nums += std::to_string(p) + " [";
      for (int e : parents[p]) nums += Ref(e) + " ";
      nums += "] ";
    }
    set(document, "<< /Type /StructElem /S /Document /P " + Ref(structRoot) + " /K [" + kids + "] >>");
    set(structRoot, "<< /Type /StructTreeRoot /K " + Ref(document) + " /ParentTree << /Nums [" + nums +
                        "] >> /ParentTreeNextKey " + std::to_string(pageCount) + " >>");
  }

  // The outline: each heading under the nearest heading before it of a higher level.
  int outlineRoot = 0;
  if (options.outline) {
    struct Node {
      int id;
      int parent;  // index in nodes, -1 for the root
      size_t block;
      std::vector<int> kids;
    };
    std::vector<Node> nodes;
    std::vector<int> roots, open;
    for (size_t b = 0; b < blocks.size(); ++b) {
      if (blocks[b].heading <= 0) continue;
      while (!open.empty() && blocks[nodes[open.back()].block].heading >= blocks[b].heading) open.pop_back();
      const int index = static_cast<int>(nodes.size());
      nodes.push_back({0, open.empty() ? -1 : open.back(), b, {}});
      (open.empty() ? roots : nodes[open.back()].kids).push_back(index);
      open.push_back(index);
    }
    if (!nodes.empty()) {
      outlineRoot = reserve();
      for (auto& node : nodes) node.id = reserve();
      std::vector<int> descendants(nodes.size(), 0);
      for (size_t i = nodes.size(); i-- > 0;) {
        for (int kid : nodes[i].kids) descendants[i] += 1 + descendants[kid];
      }
      const auto siblings = [&](const Node& node) -> const std::vector<int>& {
        return node.parent < 0 ? roots : nodes[node.parent].kids;
      };
      for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& node = nodes[i];
        const auto& row = siblings(node);
        const size_t at = std::find(row.begin(), row.end(), static_cast<int>(i)) - row.begin();
        const Line* first = nullptr;
        for (const auto& line : lines) {
          if (line.block == node.block) {
            first = &line;
            break;
          }
        }
        std::wstring text = blocks[node.block].text;
        std::replace(text.begin(), text.end(), L'\v', L' ');
        std::string item = "<< /Title " + HexUtf16(text) + " /Parent " +
                           Ref(node.parent < 0 ? outlineRoot : nodes[node.parent].id);
        if (at > 0) item += " /Prev " + Ref(nodes[row[at - 1]].id);
        if (at + 1 < row.size()) item += " /Next " + Ref(nodes[row[at + 1]].id);
        if (!node.kids.empty()) {
          item += " /First " + Ref(nodes[node.kids.front()].id) + " /Last " + Ref(nodes[node.kids.back()].id) +
                  " /Count " + std::to_string(descendants[i]);
        }
        const int page = first ? first->page : 0;
        const int top = first ? first->y + kLeading : kTop + kLeading;
        item += " /Dest [" + Ref(pageId(page)) + " /XYZ 0 " + std::to_string(top) + " 0] >>";
        set(node.id, item);
      }
      set(outlineRoot, "<< /Type /Outlines /First " + Ref(nodes[roots.front()].id) + " /Last " +
                           Ref(nodes[roots.back()].id) + " /Count " + std::to_string(nodes.size()) + " >>");
    }
  }

  int metadata = 0, intent = 0;
  if (options.pdfa) {
    metadata = add(Stream("/Type /Metadata /Subtype /XML", Xmp(title, options.producer)));
    const int profile = add(Stream("/N 3", SrgbLikeProfile()));
    intent = add("<< /Type /OutputIntent /S /GTS_PDFA1 /OutputConditionIdentifier (sRGB) /Info (sRGB-like, gamma "
                 "2.2) /DestOutputProfile " + Ref(profile) + " >>");
  }

  std::string kids;
  for (int p = 0; p < pageCount; ++p) {
    kids += Ref(pageId(p)) + " ";
    std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                       "/Contents " + Ref(pageId(p) + 1);
    if (!annotations[p].empty()) {
      page += " /Annots [";
      for (int a : annotations[p]) page += Ref(a) + " ";
      page += "]";
    }
    if (options.tagged) page += " /StructParents " + std::to_string(p);
    set(pageId(p), page + " >>");
    std::string content = contents[p] + "ET\n";
    set(pageId(p) + 1, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  }
  std::string catalog = "<< /Type /Catalog /Pages 2 0 R";
  if (outlineRoot) catalog += " /Outlines " + Ref(outlineRoot) + " /PageMode /UseOutlines";
  if (options.tagged) catalog += " /MarkInfo << /Marked true >> /StructTreeRoot " + Ref(structRoot);
  if (options.pdfa) catalog += " /Metadata " + Ref(metadata) + " /OutputIntents [" + Ref(intent) + "]";
  set(1, catalog + " >>");
  set(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageCount) + " >>");
  set(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  set(4, "<< /Title " + HexUtf16(title) + " /Producer " + PdfString(ToWinAnsi(options.producer)) + " >>");

  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[40];
  for (size_t offset : offsets) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  std::snprintf(entry, sizeof entry, "%016llX%016llX", static_cast<unsigned long long>(Fnv1a(pdf, 14695981039346656037ull)),
                static_cast<unsigned long long>(Fnv1a(pdf, 0x9e3779b97f4a7c15ull)));
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 4 0 R /ID [<" + entry +
         "> <" + entry + ">] >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

std::string MakePdf(const std::wstring& title, const std::vector<std::wstring>& lines) {
  std::vector<PdfBlock> blocks;
  for (const auto& line : lines) blocks.push_back({line, 0, {}});
  return MakePdf(title, blocks, PdfOptions{});
}

bool WritePdfFile(const std::wstring& path, const std::string& pdf, std::wstring& error) {
  std::wstring temporary = path + L".partial";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = L"cannot create the file (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, pdf.data(), static_cast<DWORD>(pdf.size()), &written, nullptr) && written == pdf.size();
  CloseHandle(file);
  if (ok) ok = MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) {
    error = L"cannot write the file (error " + std::to_wstring(GetLastError()) + L")";
    DeleteFileW(temporary.c_str());
  }
  return ok;
}

}  // namespace tavrolin::testbed
