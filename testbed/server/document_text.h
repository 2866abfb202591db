#pragma once
// What the stand-in printer can read of a document: .docx paragraphs, or plain text.
#include <string>
#include <vector>

namespace tavrolin::testbed {

// The raw bytes of one entry of a zip archive (stored or deflated); false when absent or bad.
bool ReadZipEntry(const std::string& archive, const std::string& name, std::string& out);
// The paragraphs of a .docx main part (word/document.xml).
std::vector<std::wstring> DocxParagraphs(const std::string& documentXml);
// The paragraphs of the document at `path`; empty with `readable` false when the format is not
// one the stand-in understands.
std::vector<std::wstring> DocumentParagraphs(const std::wstring& path, bool& readable);

}  // namespace tavrolin::testbed
