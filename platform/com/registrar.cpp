#include "platform/com/registrar.h"

#include <memory>
#include <vector>

#include "platform/text/unicode.h"

namespace korvalis::com {
namespace {

enum class Modifier { kNone, kNoRemove, kForceRemove, kDelete };

struct ScriptValue {
  std::u16string name;
  std::u16string data;
};

struct ScriptKey {
  Modifier modifier = Modifier::kNone;
  std::u16string name;
  bool has_default = false;
  std::u16string default_value;
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> subkeys;
};

struct Token {
  std::u16string text;
  bool quoted = false;
};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

class Parser {
 public:
  Parser(std::u16string_view script, const std::map<std::u16string, std::u16string, NameLess>& r)
      : script_(script), replacements_(r) {}

  bool ParseScript(std::vector<ScriptKey>* roots) {
    Token token;
    while (Next(&token)) {
      if (token.quoted ||
          (!Equal(token.text, u"HKCR") && !Equal(token.text, u"HKEY_CLASSES_ROOT"))) {
        return Fail("only HKCR can be written");
      }
      ScriptKey root;
      root.modifier = Modifier::kNoRemove;
      if (!Expect(u"{") || !ParseBody(&root)) return false;
      roots->push_back(std::move(root));
    }
    return error_.empty();
  }

  const std::string& error() const { return error_; }

 private:
  static bool Equal(std::u16string_view a, std::u16string_view b) {
    return !NameLess()(a, b) && !NameLess()(b, a);
  }

  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
    return false;
  }

  // Reads the next token; false at the end of the script or on an error.
  bool Next(Token* token) {
    if (has_peeked_) {
      has_peeked_ = false;
      *token = peeked_;
      return true;
    }
    while (pos_ < script_.size() && IsSpace(script_[pos_])) ++pos_;
    if (pos_ >= script_.size()) return false;
    token->text.clear();
    token->quoted = false;
    char16_t c = script_[pos_];
    std::u16string raw;
    if (c == u'\'') {
      token->quoted = true;
      ++pos_;
      for (;;) {
        if (pos_ >= script_.size()) return Fail("unterminated quoted text");
        if (script_[pos_] == u'\'') {
          if (pos_ + 1 < script_.size() && script_[pos_ + 1] == u'\'') {
            raw.push_back(u'\'');
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        raw.push_back(script_[pos_++]);
      }
    } else {
      while (pos_ < script_.size() && !IsSpace(script_[pos_]) && script_[pos_] != u'\'') {
        raw.push_back(script_[pos_++]);
      }
    }
    return Replace(raw, &token->text);
  }

  bool Peek(Token* token) {
    if (!has_peeked_) {
      if (!Next(&peeked_)) return false;
      has_peeked_ = true;
    }
    *token = peeked_;
    return true;
  }

  bool Replace(const std::u16string& raw, std::u16string* out) {
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != u'%') {
        out->push_back(raw[i]);
        continue;
      }
      size_t end = raw.find(u'%', i + 1);
      if (end == std::u16string::npos) return Fail("unterminated %replacement%");
      std::u16string name = raw.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out->push_back(u'%');
      } else {
        auto it = replacements_.find(name);
        if (it == replacements_.end()) return Fail("unknown replacement %" + ToUtf8(name) + "%");
        *out += it->second;
      }
      i = end;
    }
    return true;
  }

  bool Expect(std::u16string_view text) {
    Token token;
    if (!Next(&token) || token.quoted || token.text != text) {
      return Fail("expected '" + ToUtf8(text) + "'");
    }
    return true;
  }

  static bool IsSymbol(const Token& token, std::u16string_view text) {
    return !token.quoted && token.text == text;
  }
  static bool IsStructural(const Token& token) {
    return IsSymbol(token, u"{") || IsSymbol(token, u"}") || IsSymbol(token, u"=");
  }

  // "= s 'text'" after a key or value name.
  bool ParseAssignment(std::u16string* data) {
    Token type;
    Token value;
    if (!Expect(u"=") || !Next(&type)) return Fail("expected a value type after '='");
    if (type.quoted || (!Equal(type.text, u"s") && !Equal(type.text, u"d"))) {
      return Fail("value types are s (text) and d (number)");
    }
    if (!Next(&value) || IsStructural(value)) {
      return Fail("expected a value");
    }
    *data = value.text;
    return true;
  }

  // The keys and values between '{' (already read) and '}'.
  bool ParseBody(ScriptKey* parent) {
    Token token;
    for (;;) {
      if (!Next(&token)) return Fail("missing '}'");
      if (IsSymbol(token, u"}")) return true;
      if (!token.quoted && Equal(token.text, u"val")) {
        ScriptValue value;
        Token name;
        if (!Next(&name) || IsStructural(name)) {
          return Fail("expected a value name after 'val'");
        }
        value.name = name.text;
        if (!ParseAssignment(&value.data)) return false;
        parent->values.push_back(std::move(value));
        continue;
      }
      ScriptKey key;
      if (!token.quoted) {
        if (Equal(token.text, u"NoRemove")) key.modifier = Modifier::kNoRemove;
        if (Equal(token.text, u"ForceRemove")) key.modifier = Modifier::kForceRemove;
        if (Equal(token.text, u"Delete")) key.modifier = Modifier::kDelete;
        if (key.modifier != Modifier::kNone && !Next(&token)) return Fail("expected a key name");
        if (IsStructural(token)) return Fail("expected a key name");
      }
      if (token.text.empty() || token.text.find(u'\\') != std::u16string::npos) {
        return Fail("a key name must be one non-empty name");
      }
      key.name = token.text;
      Token next;
      if (Peek(&next) && IsSymbol(next, u"=")) {
        key.has_default = true;
        if (!ParseAssignment(&key.default_value)) return false;
      }
      if (Peek(&next) && IsSymbol(next, u"{")) {
        Next(&next);
        if (!ParseBody(&key)) return false;
      }
      if (!error_.empty()) return false;
      parent->subkeys.push_back(std::move(key));
    }
  }

  std::u16string_view script_;
  const std::map<std::u16string, std::u16string, NameLess>& replacements_;
  size_t pos_ = 0;
  Token peeked_;
  bool has_peeked_ = false;
  std::string error_;
};

void RegisterKey(const ScriptKey& key, RegistryKey& parent) {
  if (key.modifier == Modifier::kDelete) {
    parent.RemoveSubkey(key.name);
    return;
  }
  if (key.modifier == Modifier::kForceRemove) parent.RemoveSubkey(key.name);
  RegistryKey& written = parent.Create(key.name);
  if (key.has_default) written.SetValue(u"", key.default_value);
  for (const ScriptValue& value : key.values) written.SetValue(value.name, value.data);
  for (const ScriptKey& subkey : key.subkeys) RegisterKey(subkey, written);
}

void UnregisterKey(const ScriptKey& key, RegistryKey& parent) {
  RegistryKey* existing = parent.Find(key.name);
  if (existing == nullptr || key.modifier == Modifier::kDelete) return;
  if (key.modifier == Modifier::kForceRemove) {
    parent.RemoveSubkey(key.name);
    return;
  }
  for (const ScriptValue& value : key.values) existing->RemoveValue(value.name);
  for (const ScriptKey& subkey : key.subkeys) UnregisterKey(subkey, *existing);
  if (key.modifier != Modifier::kNoRemove && existing->subkeys().empty()) {
    parent.RemoveSubkey(key.name);
  }
}

}  // namespace

void Registrar::AddReplacement(std::u16string_view name, std::u16string_view value) {
  replacements_[std::u16string(name)] = std::u16string(value);
}

HRESULT Registrar::Register(std::u16string_view script, RegistryKey& classes_root,
                            std::string* error) const {
  return Apply(script, true, classes_root, error);
}

HRESULT Registrar::Unregister(std::u16string_view script, RegistryKey& classes_root,
                              std::string* error) const {
  return Apply(script, false, classes_root, error);
}

HRESULT Registrar::Apply(std::u16string_view script, bool do_register, RegistryKey& classes_root,
                         std::string* error) const {
  std::vector<ScriptKey> roots;
  Parser parser(script, replacements_);
  if (!parser.ParseScript(&roots)) {
    if (error) *error = "registration script: " + parser.error();
    return DISP_E_EXCEPTION;
  }
  for (const ScriptKey& root : roots) {
    for (const ScriptKey& key : root.subkeys) {
      if (do_register) {
        RegisterKey(key, classes_root);
      } else {
        UnregisterKey(key, classes_root);
      }
    }
  }
  return S_OK;
}

}  // namespace korvalis::com
