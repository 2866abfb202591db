#include "testbed/client/json.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace tavrolin::testbed::json {

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    switch (c) {
      case L'"': out += "\\\""; continue;
      case L'\\': out += "\\\\"; continue;
      case L'\n': out += "\\n"; continue;
      case L'\r': out += "\\r"; continue;
      case L'\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c >= 0x7f) {
      // \u escapes keep the log pure ASCII, so a torn multi-byte sequence cannot happen.
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
      out += buffer;
      continue;
    }
    out += static_cast<char>(c);
  }
  out += '"';
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

const Value* Value::Find(const std::string& key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return &value;
  }
  return nullptr;
}

long long Value::Int(const std::string& key, long long fallback) const {
  const Value* v = Find(key);
  if (!v || v->type != Type::Number) return fallback;
  return std::strtoll(v->text.c_str(), nullptr, 10);
}

unsigned long long Value::UInt(const std::string& key, unsigned long long fallback) const {
  const Value* v = Find(key);
  if (!v || v->type != Type::Number) return fallback;
  if (!v->text.empty() && v->text[0] == '-') {
    return static_cast<unsigned long long>(std::strtoll(v->text.c_str(), nullptr, 10));
  }
  return std::strtoull(v->text.c_str(), nullptr, 10);
}

std::wstring Value::Str(const std::string& key) const {
  const Value* v = Find(key);
  if (!v || v->type != Type::String) return {};
  return FromUtf8(v->text);
}

bool Value::Bool(const std::string& key) const {
  const Value* v = Find(key);
  return v && v->type == Type::Bool && v->boolean;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

namespace {

class Parser {
 public:
  explicit Parser(const std::string& s) : s_(s) {}

  bool Document(Value& out) {
    if (!ParseValue(out, 0)) return false;
    SkipSpace();
    return pos_ == s_.size();
  }

 private:
  void SkipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) ++pos_;
  }

  bool Literal(const char* word) {
    std::string w(word);
    if (s_.compare(pos_, w.size(), w) != 0) return false;
    pos_ += w.size();
    return true;
  }

  bool ParseValue(Value& out, int depth) {
    if (depth > 32) return false;
    SkipSpace();
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') return ParseObject(out, depth);
    if (c == '[') return ParseArray(out, depth);
    if (c == '"') {
      out.type = Value::Type::String;
      return ParseString(out.text);
    }
    if (c == 't' && Literal("true")) {
      out.type = Value::Type::Bool;
      out.boolean = true;
      return true;
    }
    if (c == 'f' && Literal("false")) {
      out.type = Value::Type::Bool;
      return true;
    }
    if (c == 'n' && Literal("null")) {
      out.type = Value::Type::Null;
      return true;
    }
    return ParseNumber(out);
  }

  bool ParseNumber(Value& out) {
    size_t start = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size() && ((s_[pos_] >= '0' && s_[pos_] <= '9') || s_[pos_] == '.' || s_[pos_] == 'e' ||
                                s_[pos_] == 'E' || s_[pos_] == '+' || s_[pos_] == '-')) {
      ++pos_;
    }
    if (pos_ == start) return false;
    out.type = Value::Type::Number;
    out.text = s_.substr(start, pos_ - start);
    return true;
  }


  bool Hex4(unsigned& code) {
    if (pos_ + 4 > s_.size()) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      char h = s_[pos_++];
      code <<= 4;
      if (h >= '0' && h <= '9') code |= h - '0';
      else if (h >= 'a' && h <= 'f') code |= h - 'a' + 10;
      else if (h >= 'A' && h <= 'F') code |= h - 'A' + 10;
      else return false;
    }
    return true;
  }

  bool ParseString(std::string& out) {
    ++pos_;  // opening quote
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          if (code >= 0xd800 && code < 0xdc00 && s_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            unsigned low;
            if (!Hex4(low)) return false;
            code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
          }
          AppendUtf8(out, code);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool ParseArray(Value& out, int depth) {
    out.type = Value::Type::Array;
    ++pos_;
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      Value item;
      if (!ParseValue(item, depth + 1)) return false;
      out.items.push_back(std::move(item));
      SkipSpace();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return false;
    }
  }

  bool ParseObject(Value& out, int depth) {
    out.type = Value::Type::Object;
    ++pos_;
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return true;
    }
    while (true) {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') return false;
      std::string key;
      if (!ParseString(key)) return false;
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') return false;
      ++pos_;
      Value value;
      if (!ParseValue(value, depth + 1)) return false;
      out.members.emplace_back(std::move(key), std::move(value));
      SkipSpace();
      if (pos_ >= s_.size()) return false;
      if (s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (s_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return false;
    }
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

bool Parse(const std::string& line, Value& out) {
  out = Value{};
  return Parser(line).Document(out);
}

}  // namespace tavrolin::testbed::json
