#pragma once
// The little JSON the stand-in's log needs: writing one line, reading it back.
#include <string>
#include <utility>
#include <vector>

namespace tavrolin::testbed::json {

// UTF-16 to a quoted, escaped UTF-8 JSON string.
std::string Quote(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// One code point (at most U+10FFFF) appended as UTF-8.
void AppendUtf8(std::string& out, unsigned code);

struct Value {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  std::string text;  // string content (UTF-8) or the number as written
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;

  const Value* Find(const std::string& key) const;
  long long Int(const std::string& key, long long fallback = 0) const;
  unsigned long long UInt(const std::string& key, unsigned long long fallback = 0) const;
  std::wstring Str(const std::string& key) const;
  bool Bool(const std::string& key) const;
};

// False when `line` is not one complete JSON value.
bool Parse(const std::string& line, Value& out);

}  // namespace tavrolin::testbed::json
