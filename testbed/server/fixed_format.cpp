#include "fixed_format.h"

#include <map>
#include <vector>

#include "document_text.h"
#include "pdf.h"

namespace tavrolin::testbed {
namespace {

std::string Part(const std::string& package, const char* name) {
  std::string xml;
  return ReadZipEntry(package, name, xml) ? xml : std::string();
}

// A .docx as Word lays it out for export: headings by outline level (the paragraph's own, else
// its style's, never the style's name, which is translated), external links, and comments
// after the paragraph that refers to them when the markup is shown.
std::vector<PdfBlock> DocxBlocks(const std::string& package, bool markup) {
  const auto levels = StyleOutlineLevels(Part(package, "word/styles.xml"));
  const auto targets = ExternalTargets(Part(package, "word/_rels/document.xml.rels"));
  const auto comments = ReadComments(Part(package, "word/comments.xml"));
  std::vector<PdfBlock> blocks;
  for (const auto& p : ReadDocxParagraphs(Part(package, "word/document.xml"))) {
    PdfBlock block{p.text, 0, {}};
    int level = p.outlineLevel;
    if (level < 0) {
      const auto styled = levels.find(p.style);
      if (styled != levels.end()) level = styled->second;
    }
    if (level >= 0 && level <= 8) block.heading = level + 1;
    for (const auto& link : p.links) {
      const auto target = targets.find(link.relationship);
      if (target != targets.end()) block.links.push_back({link.start, link.length, target->second});
    }
    blocks.push_back(std::move(block));
    if (!markup) continue;
    for (const auto& id : p.comments) {
      const auto comment = comments.find(id);
      if (comment != comments.end()) {
        blocks.push_back({L"Comment [" + comment->second.author + L"]: " + comment->second.text, 0, {}});
      }
    }
  }
  return blocks;
}

}  // namespace

bool ExportPdf(const std::wstring& document, const std::wstring& output, const ExportChoices& choices,
               std::wstring& error) {
  std::string bytes;
  std::vector<PdfBlock> blocks;
  if (ReadWholeFile(document, bytes) && bytes.rfind("PK\x03\x04", 0) == 0) {
    blocks = DocxBlocks(bytes, choices.markup);
  } else {
    bool readable = false;
    for (const auto& line : DocumentParagraphs(document, readable)) blocks.push_back({line, 0, {}});
  }
  const size_t slash = document.find_last_of(L"\\/");
  PdfOptions options;
  options.outline = choices.headingBookmarks;
  options.tagged = choices.structureTags;
  options.pdfa = choices.pdfa;
  options.producer = L"Word stand-in";
  return WritePdfFile(output, MakePdf(slash == std::wstring::npos ? document : document.substr(slash + 1), blocks, options),
                      error);
}

}  // namespace tavrolin::testbed
