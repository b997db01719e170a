#include "fvplatform/com_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "fvplatform/module.h"

namespace fvplat::registry {
namespace {

struct Value {
  std::string name;
  std::string text;
};

struct Key {
  std::string path;                     // as first spelled
  std::map<std::string, Value> values;  // by lower-case name
};

using Tree = std::map<std::string, Key>;  // by lower-case path

std::mutex& ProcessLock() {
  static std::mutex lock;
  return lock;
}

WriteFault& Fault() {
  static WriteFault fault;
  return fault;
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

std::string Trimmed(const std::string& key) {
  std::string path = key;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  while (!path.empty() && path.front() == '\\') path.erase(path.begin());
  return path;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '\\' || ch == '"') out.push_back('\\');
    if (ch == '\n') {
      out += "\\n";
      continue;
    }
    out.push_back(ch);
  }
  return out + "\"";
}

// Reads a quoted text at line[at]; at ends past the closing quote.
bool Unquote(const std::string& line, std::size_t& at, std::string& text) {
  if (at >= line.size() || line[at] != '"') return false;
  text.clear();
  for (++at; at < line.size(); ++at) {
    char ch = line[at];
    if (ch == '"') {
      ++at;
      return true;
    }
    if (ch == '\\' && at + 1 < line.size()) {
      ch = line[++at];
      if (ch == 'n') ch = '\n';
    }
    text.push_back(ch);
  }
  return false;
}

void AddKey(Tree& tree, const std::string& path) {
  // Parents first, so every key's parents exist.
  std::size_t from = 0;
  while (true) {
    const std::size_t slash = path.find('\\', from);
    const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
    auto& key = tree[Lower(part)];
    if (key.path.empty()) key.path = part;
    if (slash == std::string::npos) return;
    from = slash + 1;
  }
}

Tree Parse(std::istream& in) {
  Tree tree;
  Key* current = nullptr;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string path = Trimmed(line.substr(1, line.size() - 2));
      if (path.empty()) {
        current = nullptr;
        continue;
      }
      AddKey(tree, path);
      current = &tree[Lower(path)];
      continue;
    }
    if (current == nullptr || line.empty()) continue;
    std::string name;
    std::size_t at = 0;
    if (line[0] == '@') {
      at = 1;
    } else if (!Unquote(line, at, name)) {
      continue;
    }
    std::string text;
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    if (!Unquote(line, at, text)) continue;
    current->values[Lower(name)] = Value{name, text};
  }
  return tree;
}

void Write(std::ostream& out, const Tree& tree) {
  for (const auto& [lower, key] : tree) {
    out << '[' << key.path << "]\n";
    for (const auto& [lowerName, value] : key.values) {
      out << (value.name.empty() ? std::string("@") : Quote(value.name)) << '=' << Quote(value.text)
          << '\n';
    }
  }
}

// Holds the registry file for one read or read-modify-write, across processes as well.
class Session {
 public:
  Session() : guard_(ProcessLock()), path_(RegistryFile()) {
    std::error_code error;
    const auto folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    lockFd_ = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ >= 0) ::flock(lockFd_, LOCK_EX);
    std::ifstream in(path_);
    if (in) tree_ = Parse(in);
  }
  ~Session() {
    if (lockFd_ >= 0) {
      ::flock(lockFd_, LOCK_UN);
      ::close(lockFd_);
    }
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Tree& tree() { return tree_; }

  bool Save() {
    if (lockFd_ < 0) return false;
    const std::string temp = path_ + ".tmp";
    {
      std::ofstream out(temp, std::ios::trunc);
      if (!out) return false;
      Write(out, tree_);
      out.flush();
      if (!out) return false;
    }
    return std::rename(temp.c_str(), path_.c_str()) == 0;
  }

 private:
  std::lock_guard<std::mutex> guard_;
  std::string path_;
  int lockFd_ = -1;
  Tree tree_;
};

bool Refused(const std::string& key) {
  const WriteFault& fault = Fault();
  return fault && fault(key);
}

}  // namespace

std::string RegistryFile() {
  if (const char* file = std::getenv(kRegistryFileEnv); file != nullptr && *file != 0) return file;
  return (std::filesystem::path(ProgramDirectory()) / "hkcr.reg").string();
}

bool CreateKey(const std::string& key) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path)) return false;
  AddKey(session.tree(), path);
  return session.Save();
}

bool SetValue(const std::string& key, const std::string& name, const std::string& value) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path)) return false;
  AddKey(session.tree(), path);
  session.tree()[Lower(path)].values[Lower(name)] = Value{name, value};
  return session.Save();
}

std::optional<std::string> GetValue(const std::string& key, const std::string& name) {
  Session session;
  const auto found = session.tree().find(Lower(Trimmed(key)));
  if (found == session.tree().end()) return std::nullopt;
  const auto value = found->second.values.find(Lower(name));
  if (value == found->second.values.end()) return std::nullopt;
  return value->second.text;
}

bool KeyExists(const std::string& key) {
  Session session;
  return session.tree().count(Lower(Trimmed(key))) != 0;
}

bool DeleteTree(const std::string& key) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path)) return false;
  const std::string lower = Lower(path);
  Tree& tree = session.tree();
  bool changed = false;
  for (auto it = tree.begin(); it != tree.end();) {
    if (it->first == lower || it->first.rfind(lower + "\\", 0) == 0) {
      it = tree.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  return !changed || session.Save();
}

std::vector<std::string> ListKeys() {
  Session session;
  std::vector<std::string> keys;
  for (const auto& [lower, key] : session.tree()) keys.push_back(key.path);
  return keys;
}

void SetWriteFault(WriteFault fault) {
  std::lock_guard<std::mutex> guard(ProcessLock());
  Fault() = std::move(fault);
}

}  // namespace fvplat::registry
