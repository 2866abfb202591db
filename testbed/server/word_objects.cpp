#include "word_objects.h"

#include <winspool.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch.h"
#include "document_text.h"
#include "fixed_format.h"
#include "log.h"
#include "printer.h"
#include "prompts.h"
#include "testbed/client/testbed_client.h"

namespace tavrolin::testbed {
namespace {

constexpr long kErrFileNotFound = 5174;
constexpr long kErrBadPath = 5273;
constexpr long kErrCannotOpen = 5121;
constexpr long kErrOpenFailed = 5792;
constexpr long kErrPrinter = 5216;
constexpr long kErrNoDocument = 4248;
constexpr long kErrBadValue = 5843;
constexpr long kErrPasswordIncorrect = 5408;
constexpr long kErrDamaged = 5792;
constexpr long kErrNoMember = 5941;
constexpr long kErrCommandFailed = 4198;
// No number is documented for a Word without its PDF export; the message is Word's.
constexpr HRESULT kExportNotInstalled = static_cast<HRESULT>(0x800A1066);
constexpr long kFormatPdf = 17;     // wdExportFormatPDF, wdFormatPDF
constexpr long kFormatXps = 18;
constexpr long kExportWithMarkup = 7;     // wdExportDocumentWithMarkup
constexpr long kHeadingBookmarks = 1;     // wdExportCreateHeadingBookmarks
// What Open reads of a file to tell its format.
constexpr DWORD kMaxSniffBytes = 16 * 1024 * 1024;

std::string ReadHead(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size)) {
    bytes.resize(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, kMaxSniffBytes)));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
  }
  CloseHandle(file);
  return bytes;
}

// A boolean argument as given, or nothing when it was not.
std::optional<bool> BoolArg(const Args& args, size_t index) {
  if (!args.Get(index)) return std::nullopt;
  long value = 0;
  if (FAILED(args.Int(index, value))) return std::nullopt;
  return value != 0;
}

bool Matches(const std::wstring& pattern, const std::wstring& text) {
  // Case-insensitive wildcard match with * and ?, over the whole text.
  size_t p = 0, t = 0, star = std::wstring::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || towlower(pattern[p]) == towlower(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      mark = t;
    } else if (star != std::wstring::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool IsPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
bool IsGet(WORD flags) { return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0 && !IsPut(flags); }
bool IsMethod(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }

void ReturnString(VARIANT* result, const std::wstring& value) {
  if (!result) return;
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
}

void ReturnLong(VARIANT* result, long value) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = value;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
  if (!result) {
    object->Release();
    return;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
}

struct Printer {
  const wchar_t* name;
  const wchar_t* port;
};
const Printer kPrinters[] = {{L"Office Laser", L"LPT1:"}, {kPdfPrinter, L"Ne00:"}};

// The "name on port:" form Word reads back; a put accepts it or the bare name.
const Printer* FindPrinter(const std::wstring& given) {
  for (const auto& p : kPrinters) {
    std::wstring full = std::wstring(p.name) + L" on " + p.port;
    if (_wcsicmp(given.c_str(), p.name) == 0 || _wcsicmp(given.c_str(), full.c_str()) == 0) return &p;
  }
  return nullptr;
}

// Word starts on the system's default printer and makes the one it is given the default, as
// real Word is reported to do.
const Printer* DefaultPrinterAtStart() {
  wchar_t name[256];
  DWORD size = 256;
  if (GetDefaultPrinterW(name, &size)) {
    if (const Printer* p = FindPrinter(name)) return p;
  }
  return &kPrinters[0];
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
  return n == 0 || n >= std::size(buffer) ? path : std::wstring(buffer, n);
}

class Application;

struct OpenDocument {
  unsigned id;
  std::wstring path;
  bool byUser;  // opened by the user in this instance, not through the automation
};

class Document final : public DispatchObject {
 public:
  Document(Application* app, const OpenDocument& document);
  ~Document() override;

 protected:
  const wchar_t* ObjectName() const override { return L"Document"; }
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> members = {
        {L"Name", 0, {}},
        {L"FullName", 1, {}},
        {L"Path", 2, {}},
        {L"Close", 0x451, {L"SaveChanges", L"OriginalFormat", L"RouteDocument"}},
        {L"ExportAsFixedFormat",
         0x211,
         {L"OutputFileName", L"ExportFormat", L"OpenAfterExport", L"OptimizeFor", L"Range", L"From", L"To", L"Item",
          L"IncludeDocProps", L"KeepIRM", L"CreateBookmarks", L"DocStructureTags", L"BitmapMissingFonts",
          L"UseISO19005_1", L"FixedFormatExtClassPtr"}},
        {L"SaveAs2", 0x225, SaveAsParams()},
        {L"SaveAs", 0x178, SaveAsParams()},
    };
    return members;
  }
  HRESULT Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) override;
  void BeforeCall() override;

 private:
  static std::vector<const wchar_t*> SaveAsParams() {
    return {L"FileName", L"FileFormat", L"LockComments", L"Password", L"AddToRecentFiles", L"WritePassword",
            L"ReadOnlyRecommended", L"EmbedTrueTypeFonts", L"SaveNativePictureFormat", L"SaveFormsData",
            L"SaveAsAOCELetter", L"Encoding", L"InsertLineBreaks", L"AllowSubstitutions", L"LineEnding",
            L"AddBiDiMarks", L"CompatibilityMode"};
  }
  HRESULT Export(const Args& args, EXCEPINFO* info);
  HRESULT SaveAs(const Args& args, EXCEPINFO* info);
  HRESULT WritePdf(const std::wstring& output, const ExportChoices& choices, EXCEPINFO* info);

  Application* app_;
  unsigned id_;
  std::wstring path_;
};

class Documents final : public DispatchObject {
 public:
  static std::vector<const wchar_t*> OpenParams() {
    return {L"FileName", L"ConfirmConversions", L"ReadOnly", L"AddToRecentFiles", L"PasswordDocument",
            L"PasswordTemplate", L"Revert", L"WritePasswordDocument", L"WritePasswordTemplate", L"Format", L"Encoding",
            L"Visible", L"OpenAndRepair", L"DocumentDirection", L"NoEncodingDialog", L"XMLTransform"};
  }
  explicit Documents(Application* app);
  ~Documents() override;

 protected:
  const wchar_t* ObjectName() const override { return L"Documents"; }
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> members = {
        {L"Item", DISPID_VALUE, {L"Index"}},
        {L"Count", 2, {}},
        {L"Open", 0x13, OpenParams()},
        {L"OpenNoRepairDialog", 0x20, OpenParams()},
    };
    return members;
  }
  HRESULT Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) override;
  void BeforeCall() override;

 private:
  Application* app_;
};

// The user's options: Word reads them when it starts and writes them back when it quits.
class Options final : public DispatchObject {
 public:
  explicit Options(Application* app);
  ~Options() override;

 protected:
  const wchar_t* ObjectName() const override { return L"Options"; }
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> members = {{L"UpdateFieldsAtPrint", 0x1c, {}}};
    return members;
  }
  HRESULT Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) override;
  void BeforeCall() override;

 private:
  Application* app_;
};

class Application final : public DispatchObject {
 public:
  // In the order they were opened; the last is the active one.
  std::vector<OpenDocument> documents;
  unsigned nextId = 1;
  bool userDocumentDue = false;  // the automation has opened a document: the user's comes next
  bool userDocumentOpened = false;
  bool visible = false;

  OpenDocument& Add(const std::wstring& path, bool byUser) {
    documents.push_back({nextId++, path, byUser});
    return documents.back();
  }
  bool UserHasDocument() const {
    return std::any_of(documents.begin(), documents.end(), [](const OpenDocument& d) { return d.byUser; });
  }
  // Word is the user's while the user has a document in it: it outlives the automation's references.
  void Closed(const OpenDocument& document) {
    if (document.byUser && !UserHasDocument()) Release();
  }

  // Between two calls, as the user can: once the automation opened a document, the user's opens
  // in this instance (older Word versions' documented behaviour).
  void BetweenCalls() {
    if (!userDocumentDue || userDocumentOpened) return;
    userDocumentDue = false;
    const std::wstring path = Current().userDocument;
    if (path.empty()) return;
    userDocumentOpened = true;
    Add(FullPath(path), true);
    visible = true;  // the user sees the Word they opened a document in
    AddRef();
    LogEvent(L"user-document", FullPath(path));
  }
  void BeforeCall() override { BetweenCalls(); }
  // "Update fields before printing", as this instance read it at its start.
  bool updateFieldsAtPrint = Current().updateFieldsAtPrint;

 protected:
  const wchar_t* ObjectName() const override { return L"Application"; }
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> members = {
        {L"Name", DISPID_VALUE, {}},
        {L"Documents", 6, {}},
        {L"ActiveDocument", 3, {}},
        {L"Visible", 0x17, {}},
        {L"UserControl", 0x1a, {}},
        {L"Options", 0x5d, {}},
        {L"ActivePrinter", 0x42, {}},
        {L"AutomationSecurity", 0x4e5, {}},
        {L"DisplayAlerts", 0x5e, {}},
        {L"BackgroundPrintingStatus", 0x6f, {}},
        {L"Quit", 0x451, {L"SaveChanges", L"OriginalFormat", L"RouteDocument"}},
        {L"PrintOut",
         0x1bd,
         {L"Background", L"Append", L"Range", L"OutputFileName", L"From", L"To", L"Item", L"Copies", L"Pages",
          L"PageType", L"PrintToFile", L"Collate", L"FileName", L"ActivePrinterMacGX", L"ManualDuplexPrint",
          L"PrintZoomColumn", L"PrintZoomRow", L"PrintZoomPaperWidth", L"PrintZoomPaperHeight"}},
    };
    return members;
  }

  HRESULT Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) override {
    std::wstring name = member.name;
    if (name == L"Name") {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      ReturnString(result, L"Microsoft Word");
      return S_OK;
    }
    if (name == L"Documents") {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      ReturnObject(result, new Documents(this));
      return S_OK;
    }
    if (name == L"ActiveDocument") {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      if (documents.empty()) {
        return WordError(info, kErrNoDocument, L"This command is not available because no document is open.");
      }
      ReturnObject(result, new Document(this, documents.back()));
      return S_OK;
    }
    if (name == L"Visible" || name == L"UserControl") {
      // Word: UserControl is true when the user opened a document, and whenever Word is visible.
      if (IsGet(flags)) {
        const bool value = name == L"Visible" ? visible : visible || UserHasDocument() || userDocumentOpened;
        if (result) {
          result->vt = VT_BOOL;
          result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
      }
      if (name != L"Visible" || !IsPut(flags) || !args.PutValue()) return DISP_E_MEMBERNOTFOUND;
      long value = 0;
      if (HRESULT hr = args.IntFrom(args.PutValue(), value); FAILED(hr)) return hr;
      visible = value != 0;
      return S_OK;
    }
    if (name == L"Options") {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      ReturnObject(result, new Options(this));
      return S_OK;
    }
    if (name == L"ActivePrinter") return ActivePrinter(flags, args, result, info);
    if (name == L"AutomationSecurity") return AutomationSecurity(flags, args, result, info);
    if (name == L"DisplayAlerts") return DisplayAlerts(flags, args, result, info);
    if (name == L"BackgroundPrintingStatus") {
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      ReturnLong(result, BackgroundPrinting() ? 1 : 0);
      return S_OK;
    }
    if (name == L"Quit") return Quit(flags, args);
    if (name == L"PrintOut") return PrintOut(flags, args, info);
    return DISP_E_MEMBERNOTFOUND;
  }

  void AfterCall() override {
    if (pendingJob_.empty()) return;
    StartPrintJob(pendingJob_, Current());
    pendingJob_.clear();
  }

 private:
  HRESULT ActivePrinter(WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) {
    if (IsGet(flags)) {
      ReturnString(result, std::wstring(printer_->name) + L" on " + printer_->port);
      return S_OK;
    }
    if (!IsPut(flags) || !args.PutValue()) return DISP_E_MEMBERNOTFOUND;
    std::wstring wanted;
    if (HRESULT hr = args.StringFrom(args.PutValue(), wanted); FAILED(hr)) return hr;
    const std::wstring& pattern = Current().rejectPrinterPattern;
    const Printer* printer = FindPrinter(wanted);
    if (!printer || (!pattern.empty() && Matches(pattern, wanted))) {
      return WordError(info, kErrPrinter, L"There is a printer error.");
    }
    printer_ = printer;
    SetDefaultPrinterW(printer->name);
    return S_OK;
  }

  HRESULT AutomationSecurity(WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) {
    if (IsGet(flags)) {
      ReturnLong(result, security_);
      return S_OK;
    }
    if (!IsPut(flags) || !args.PutValue()) return DISP_E_MEMBERNOTFOUND;
    long value = 0;
    if (HRESULT hr = args.IntFrom(args.PutValue(), value); FAILED(hr)) return hr;
    // msoAutomationSecurityLow, ByUI, ForceDisable.
    if (value < 1 || value > 3) return WordError(info, kErrBadValue, L"The value is out of range.");
    security_ = value;
    return S_OK;
  }

  // wdAlertsAll -1, wdAlertsMessageBox -2, wdAlertsNone 0. The questions this stand-in asks are
  // the ones Word asks whatever it is set to.
  HRESULT DisplayAlerts(WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) {
    if (IsGet(flags)) {
      ReturnLong(result, alerts_);
      return S_OK;
    }
    if (!IsPut(flags) || !args.PutValue()) return DISP_E_MEMBERNOTFOUND;
    long value = 0;
    if (HRESULT hr = args.IntFrom(args.PutValue(), value); FAILED(hr)) return hr;
    if (value < -2 || value > 0) return WordError(info, kErrBadValue, L"The value is out of range.");
    alerts_ = value;
    return S_OK;
  }

  bool BackgroundPrinting() const { return GetTickCount64() < printingUntil_; }

  void SaveOptions() const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    const DWORD value = updateFieldsAtPrint ? 1 : 0;
    RegSetValueExW(key, kUpdateFieldsAtPrintValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }

  HRESULT Quit(WORD flags, const Args& args) {
    if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
    long save = 0, format = 0;
    long route = 0;
    if (HRESULT hr = args.Int(0, save); FAILED(hr)) return hr;
    if (HRESULT hr = args.Int(1, format); FAILED(hr)) return hr;
    if (HRESULT hr = args.Int(2, route); FAILED(hr)) return hr;
    // "Word is currently printing. Quitting Word will cancel all pending print jobs."
    if (BackgroundPrinting()) WaitOnPrompt(L"printing");
    // wdDoNotSaveChanges closes the user's documents too, unsaved work and all.
    if (args.Get(0) && save == 0) {
      for (const auto& d : documents) {
        if (d.byUser) LogEvent(L"user-document-lost", d.path);
      }
    }
    SaveOptions();
    LogEvent(L"quit", std::to_wstring(save));
    PostThreadMessageW(mainThread_, kQuitRequested, 0, 0);
    return S_OK;
  }

  HRESULT PrintOut(WORD flags, const Args& args, EXCEPINFO* info) {
    if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
    // Parameters Word takes as text; the rest are numbers or booleans.
    static const size_t kTextParams[] = {3, 4, 5, 8, 12, 13};
    std::wstring fileName;
    for (size_t i = 0; i < 19; ++i) {
      bool text = std::find(std::begin(kTextParams), std::end(kTextParams), i) != std::end(kTextParams);
      std::wstring s;
      long n = 0;
      HRESULT hr = text ? args.String(i, s) : args.Int(i, n);
      if (FAILED(hr)) return hr;
      if (i == 12) fileName = s;
    }
    std::wstring document = fileName.empty() ? (documents.empty() ? L"" : documents.back().path) : FullPath(fileName);
    if (document.empty()) {
      return WordError(info, kErrNoDocument, L"This command is not available because no document is open.");
    }
    // Updating the fields first asks for the text of each field that asks for one.
    if (updateFieldsAtPrint && HasAskingField(ReadDocxPart(ReadHead(document)).xml)) WaitOnPrompt(L"fill-in");
    if (Current().printOutFails) return WordError(info, kErrPrinter, L"There is a printer error.");
    LogEvent(L"printed", printer_->name);
    if (printer_->name == std::wstring(kPdfPrinter) && !Current().noDialog) {
      const Settings settings = Current();
      if (settings.dialogDuringPrintOut) {
        PrintWithDialogNow(document, settings);
      } else {
        pendingJob_ = document;
      }
    }
    // Background printing is Word's default; its jobs are counted until they have been spooled.
    const unsigned backgroundMs = Current().backgroundPrintMs;
    if (backgroundMs && BoolArg(args, 0).value_or(true)) printingUntil_ = GetTickCount64() + backgroundMs;
    return S_OK;
  }

  const Printer* printer_ = DefaultPrinterAtStart();
  long security_ = 1;
  long alerts_ = -1;
  ULONGLONG printingUntil_ = 0;
  DWORD mainThread_ = GetCurrentThreadId();
  std::wstring pendingJob_;
};

Document::Document(Application* app, const OpenDocument& document)
    : app_(app), id_(document.id), path_(document.path) {
  app_->AddRef();
}
Document::~Document() { app_->Release(); }
void Document::BeforeCall() { app_->BetweenCalls(); }

HRESULT Document::Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) {
  std::wstring name = member.name;
  auto& docs = app_->documents;
  auto it = std::find_if(docs.begin(), docs.end(), [&](const OpenDocument& d) { return d.id == id_; });
  if (name == L"Name" || name == L"FullName" || name == L"Path") {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    size_t slash = path_.find_last_of(L"\\/");
    if (slash == std::wstring::npos || name == L"FullName") ReturnString(result, path_);
    else ReturnString(result, name == L"Name" ? path_.substr(slash + 1) : path_.substr(0, slash));
    return S_OK;
  }
  if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
  if (it == docs.end()) return WordError(info, kErrNoDocument, L"This document has already been closed.");
  if (name == L"ExportAsFixedFormat") return Export(args, info);
  if (name == L"SaveAs2" || name == L"SaveAs") return SaveAs(args, info);
  long save = 0;
  if (HRESULT hr = args.Int(0, save); FAILED(hr)) return hr;
  const OpenDocument closed = *it;
  docs.erase(it);
  app_->Closed(closed);
  return S_OK;
}

HRESULT Document::WritePdf(const std::wstring& output, const ExportChoices& choices, EXCEPINFO* info) {
  std::wstring error;
  if (!ExportPdf(path_, output, choices, error)) {
    LogEvent(L"export-failed", output + L": " + error);
    return WordErrorCode(info, E_FAIL, L"The export failed due to an unexpected error.");
  }
  LogEvent(L"pdf-written", output);
  return S_OK;
}

HRESULT Document::Export(const Args& args, EXCEPINFO* info) {
  // Each argument as Word types it: text, numbers, booleans; the last one is any object.
  static const size_t kText[] = {0};
  static const size_t kBool[] = {2, 8, 9, 11, 12, 13};
  if (!args.Get(0) || !args.Get(1)) return DISP_E_PARAMNOTOPTIONAL;
  std::wstring output;
  long numbers[15] = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  // Word's defaults: KeepIRM, DocStructureTags and BitmapMissingFonts true, the rest false.
  bool flags[15] = {};
  flags[9] = flags[11] = flags[12] = true;
  for (size_t i = 0; i < 14; ++i) {
    const bool text = std::find(std::begin(kText), std::end(kText), i) != std::end(kText);
    const bool boolean = std::find(std::begin(kBool), std::end(kBool), i) != std::end(kBool);
    HRESULT hr = text ? args.String(i, output) : boolean ? args.Bool(i, flags[i]) : args.Int(i, numbers[i]);
    if (FAILED(hr)) return hr;
  }
  const Settings settings = Current();
  if (settings.exportFeatureMissing) {
    return WordErrorCode(info, kExportNotInstalled, L"Export failed because this feature is not installed.");
  }
  if (numbers[1] == kFormatXps) return WordError(info, kErrCommandFailed, L"The Word stand-in writes no XPS.");
  if (numbers[1] != kFormatPdf) return WordError(info, kErrBadValue, L"The value is out of range.");
  if (!settings.exportFailPattern.empty() && Matches(settings.exportFailPattern, path_)) {
    return WordErrorCode(info, E_FAIL, L"The export failed due to an unexpected error.");
  }
  ExportChoices choices;
  choices.headingBookmarks = numbers[10] == kHeadingBookmarks;
  choices.structureTags = flags[11];
  choices.pdfa = flags[13];
  choices.markup = numbers[7] == kExportWithMarkup;
  const HRESULT hr = WritePdf(FullPath(output), choices, info);
  // A viewer would open: an invisible Word's user would find a window nobody asked for.
  if (SUCCEEDED(hr) && flags[2]) LogEvent(L"open-after-export", FullPath(output));
  return hr;
}

HRESULT Document::SaveAs(const Args& args, EXCEPINFO* info) {
  static const size_t kText[] = {0, 3, 5};
  static const size_t kNumber[] = {1, 11, 14, 16};
  std::wstring fileName, ignored;
  long format = -1;
  for (size_t i = 0; i < 17; ++i) {
    const bool text = std::find(std::begin(kText), std::end(kText), i) != std::end(kText);
    const bool number = std::find(std::begin(kNumber), std::end(kNumber), i) != std::end(kNumber);
    long n = 0;
    bool b = false;
    HRESULT hr = text ? args.String(i, i == 0 ? fileName : ignored) : number ? args.Int(i, i == 1 ? format : n)
                                                                             : args.Bool(i, b);
    if (FAILED(hr)) return hr;
  }
  if (format != kFormatPdf) {
    return WordError(info, kErrCommandFailed, L"The Word stand-in saves only as PDF (FileFormat 17).");
  }
  if (Current().exportFeatureMissing) {
    return WordErrorCode(info, kExportNotInstalled, L"Export failed because this feature is not installed.");
  }
  if (fileName.empty()) return WordError(info, kErrBadPath, L"The document name or path is not valid.");
  // Saved as PDF without Word's export options: no bookmarks, no tags.
  return WritePdf(FullPath(fileName), ExportChoices{}, info);
}

Options::Options(Application* app) : app_(app) { app_->AddRef(); }
Options::~Options() { app_->Release(); }
void Options::BeforeCall() { app_->BetweenCalls(); }

HRESULT Options::Call(const Member&, WORD flags, const Args& args, VARIANT* result, EXCEPINFO*) {
  if (IsGet(flags)) {
    if (result) {
      result->vt = VT_BOOL;
      result->boolVal = app_->updateFieldsAtPrint ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
  }
  if (!IsPut(flags) || !args.PutValue()) return DISP_E_MEMBERNOTFOUND;
  long value = 0;
  if (HRESULT hr = args.IntFrom(args.PutValue(), value); FAILED(hr)) return hr;
  app_->updateFieldsAtPrint = value != 0;
  return S_OK;
}

Documents::Documents(Application* app) : app_(app) { app_->AddRef(); }
Documents::~Documents() { app_->Release(); }
void Documents::BeforeCall() { app_->BetweenCalls(); }

HRESULT Documents::Call(const Member& member, WORD flags, const Args& args, VARIANT* result, EXCEPINFO* info) {
  if (std::wstring(member.name) == L"Count") {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    ReturnLong(result, static_cast<long>(app_->documents.size()));
    return S_OK;
  }
  if (std::wstring(member.name) == L"Item") {
    // By number, the most recently opened first, as Word's collection is; or by name.
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    const VARIANT* index = args.Get(0);
    if (!index) return DISP_E_PARAMNOTOPTIONAL;
    auto& docs = app_->documents;
    const OpenDocument* found = nullptr;
    std::wstring name;
    long number = 0;
    if ((index->vt & ~VT_BYREF) == VT_BSTR) {
      if (HRESULT hr = args.String(0, name); FAILED(hr)) return hr;
      for (const auto& d : docs) {
        const size_t slash = d.path.find_last_of(L"\\/");
        if (_wcsicmp(d.path.c_str(), name.c_str()) == 0 || _wcsicmp(d.path.substr(slash + 1).c_str(), name.c_str()) == 0) {
          found = &d;
        }
      }
    } else {
      if (HRESULT hr = args.Int(0, number); FAILED(hr)) return hr;
      if (number >= 1 && static_cast<size_t>(number) <= docs.size()) found = &docs[docs.size() - number];
    }
    if (!found) return WordError(info, kErrNoMember, L"The requested member of the collection does not exist.");
    ReturnObject(result, new Document(app_, *found));
    return S_OK;
  }
  if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
  if (!args.Get(0)) return DISP_E_PARAMNOTOPTIONAL;
  std::wstring given;
  if (HRESULT hr = args.String(0, given); FAILED(hr)) return hr;
  for (size_t i = 1; i < 16; ++i) {
    static const size_t kTextParams[] = {4, 5, 7, 8};
    bool text = std::find(std::begin(kTextParams), std::end(kTextParams), i) != std::end(kTextParams);
    std::wstring s;
    long n = 0;
    if (HRESULT hr = text ? args.String(i, s) : args.Int(i, n); FAILED(hr)) return hr;
  }
  std::wstring path = FullPath(given);
  const std::wstring& pattern = Current().openFailPattern;
  if (!pattern.empty() && Matches(pattern, given)) {
    return WordError(info, kErrOpenFailed,
                     L"Word experienced an error trying to open the file.\rTry these suggestions.\r"
                     L"* Check the file permissions for the document or drive.\r"
                     L"* Make sure there is sufficient free memory and disk space.\r"
                     L"* Open the file with the Text Recovery converter.\r(" + path + L")");
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (given.empty() || attributes == INVALID_FILE_ATTRIBUTES) {
    return WordError(info, kErrFileNotFound,
                     L"Sorry, we couldn't find your file. Was it moved, renamed, or deleted?\r(" + path + L")");
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return WordError(info, kErrBadPath,
                     L"The document name or path is not valid.\rTry these suggestions.\r"
                     L"* Check the file permissions for the document or drive.\r"
                     L"* Use the File Open dialog box to locate the document.\r(" + path + L")");
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return WordError(info, kErrCannotOpen,
                     L"Word cannot open the document: user does not have access privileges (" + path + L")");
  }
  CloseHandle(file);
  // What Word asks before it opens a file, in its order; each only where Open's arguments
  // (ConfirmConversions 1, PasswordDocument 4, NoEncodingDialog 14) do not answer it already.
  const std::string bytes = ReadHead(path);
  const FileFormat format = DetectFormat(bytes);
  if (format == FileFormat::Encrypted) {
    // The stand-in cannot decrypt: every password it is given is the wrong one.
    if (!args.Get(4)) WaitOnPrompt(L"password");
    return WordError(info, kErrPasswordIncorrect, L"The password is incorrect. Word cannot open the document.");
  }
  if (!IsWordFormat(format) && BoolArg(args, 1).value_or(Current().confirmConversions)) WaitOnPrompt(L"convert-file");
  if (format == FileFormat::PlainText && NeedsEncodingChoice(bytes) && !BoolArg(args, 14).value_or(false)) {
    WaitOnPrompt(L"encoding");
  }
  // A package or main part cut short: Open asks whether to recover what it can read;
  // OpenNoRepairDialog opens that without asking, and fails when there is nothing.
  if (format == FileFormat::WordOpenXml) {
    const DocxPart part = ReadDocxPart(bytes);
    if (!part.whole && std::wstring(member.name) == L"Open") WaitOnPrompt(L"unreadable-content");
    if (!part.whole && DocxParagraphs(part.xml).empty()) {
      const size_t slash = path.find_last_of(L"\\/");
      return WordError(info, kErrDamaged,
                       L"We're sorry. We can't open " + path.substr(slash == std::wstring::npos ? 0 : slash + 1) +
                           L" because we found a problem with its contents.");
    }
  }
  ReturnObject(result, new Document(app_, app_->Add(path, false)));
  app_->userDocumentDue = true;
  return S_OK;
}

}  // namespace

IDispatch* CreateApplication() { return new Application(); }

}  // namespace tavrolin::testbed
